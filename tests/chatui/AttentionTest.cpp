#include "support/ConversationRig.h"

#include "chatui/TPageControl.h"
#include "chatui/TRichPane.h"

#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace quillet {
namespace {

using testing::TConversationRig;
using testing::TFakeTickSource;

// Two conversations; the first tab is the one the user sees.
class Attention : public ::testing::Test {
protected:
    Attention()
    {
        TConversationTabHooks hooks;
        hooks.FlashTaskbar = [this](QWidget*, int count) { Flashes.push_back(count); };
        hooks.StopFlashing = [this](QWidget*) { ++FlashStops; };
        Seen = std::make_unique<TConversationRig>(Form, Ticks, hooks);
        Background = std::make_unique<TConversationRig>(Form, Ticks, hooks);
    }

    void ShowAndActivate()
    {
        Form.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
    }

    bool Lit() { return Background->Tab->Sheet()->Highlighted(); }

    // Runs the receive loop's tick `ms` after the previous one and reports whether the tab is
    // lit afterwards.
    bool TickAfter(TTick ms)
    {
        Ticks.Value += ms;
        Background->Tab->AttentionTick();
        return Lit();
    }

    TFakeTickSource Ticks { 100000 };
    TChatForm Form;
    std::vector<int> Flashes;
    int FlashStops = 0;
    std::unique_ptr<TConversationRig> Seen;
    std::unique_ptr<TConversationRig> Background;
};

// How the highlight blinks is TAttentionBlink's (AttentionBlinkTest); here, that the tab shows it.
TEST_F(Attention, ABackgroundTabLightsAndBlinksOnItsPage)
{
    Background->Greet("Bob");
    Background->Owner.Engine.ProcessIncoming("news\r");
    ASSERT_TRUE(Lit()) << "lit at once";
    EXPECT_TRUE(Background->Tab->AttentionActive());
    EXPECT_EQ(Flashes, std::vector<int> { 10 })
        << "the window is not in front, so the taskbar flashes";

    EXPECT_TRUE(TickAfter(200));
    EXPECT_FALSE(TickAfter(1));
    EXPECT_EQ(Background->Tab->ToggleCount(), 1);
    EXPECT_FALSE(Seen->Tab->Sheet()->Highlighted());
}

TEST_F(Attention, SeeingTheTabClearsIt)
{
    ShowAndActivate();
    Background->Owner.Engine.ProcessIncoming("Bob\r\nx\r");
    ASSERT_TRUE(Lit());
    EXPECT_TRUE(Flashes.empty()) << "no flashing while the chat window is in front";

    EXPECT_TRUE(TickAfter(10)) << "another tab is the one seen";
    Form.SetActiveSheet(Background->Tab->Sheet());
    EXPECT_FALSE(TickAfter(10));
    EXPECT_FALSE(Background->Tab->AttentionActive());
    EXPECT_FALSE(TickAfter(500)) << "and it stays off";
}

// A lit tab that has done blinking needs no pass of anything to see that the user looks at it.
TEST_F(Attention, TheLitTabEndsItByItselfWhenItsWindowComesToTheFront)
{
    Background->Owner.Engine.ProcessIncoming("Bob\r\nx\r");
    Form.SetActiveSheet(Background->Tab->Sheet());
    for (int toggle = 1; toggle <= TConversationTab::MaxToggles; ++toggle)
        TickAfter(201);
    EXPECT_TRUE(Lit()) << "the tab the user picked, but the window is not in front";
    ShowAndActivate();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Background->Tab->AttentionActive(); }, 3000));
    EXPECT_FALSE(Lit());
}

TEST_F(Attention, TheTabTheUserSeesDoesNotBlink)
{
    ShowAndActivate();
    Seen->Owner.Engine.ProcessIncoming("Ann\r\nx\r");
    EXPECT_FALSE(Seen->Tab->Sheet()->Highlighted());
    EXPECT_FALSE(Seen->Tab->AttentionActive());
    EXPECT_TRUE(Flashes.empty());
}

TEST_F(Attention, TypingOrTheMouseEndsIt)
{
    Background->Tab->RefreshControls(); // connected: the typing pane takes keys
    Background->Owner.Engine.ProcessIncoming("Bob\r\nx\r");
    ASSERT_TRUE(Lit());
    QTest::keyClicks(Background->Tab->Controls().LocalPane, QStringLiteral("k"));
    EXPECT_FALSE(Lit());
    EXPECT_FALSE(Background->Tab->AttentionActive());

    Background->Owner.Engine.ProcessIncoming("y\r");
    ASSERT_TRUE(Lit());
    emit Background->Tab->Sheet()->MouseEntered();
    EXPECT_FALSE(Lit());
    EXPECT_FALSE(TickAfter(300));
}

// The taskbar's attention request ends with the tab's: when the user looks, moves the mouse over
// the tab or types there.
TEST_F(Attention, EndingTheAttentionAlsoStopsTheTaskbarRequest)
{
    Background->Tab->RefreshControls(); // connected: the typing pane takes keys
    Background->Owner.Engine.ProcessIncoming("Bob\r\nx\r");
    ASSERT_EQ(Flashes, std::vector<int> { 10 });
    emit Background->Tab->Sheet()->MouseEntered();
    EXPECT_EQ(FlashStops, 1) << "mouse over the tab";

    Background->Owner.Engine.ProcessIncoming("y\r");
    QTest::keyClicks(Background->Tab->Controls().LocalPane, QStringLiteral("k"));
    EXPECT_EQ(FlashStops, 2) << "a key typed there";

    ShowAndActivate();
    Background->Owner.Engine.ProcessIncoming("z\r");
    Form.SetActiveSheet(Background->Tab->Sheet());
    const int before = FlashStops;
    TickAfter(10);
    EXPECT_EQ(FlashStops, before + 1) << "the tab seen in the window in front";
}

} // namespace
} // namespace quillet
