#include "support/ConversationRig.h"

#include "chatui/TChatForm.h"
#include "chatui/TChatTabFactory.h"
#include "chatui/TPageControl.h"
#include "chatui/TRichPane.h"
#include "chatui/TTabStrip.h"

#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace quillet {
namespace {

using testing::TConversationRig;
using testing::TFakePrompts;
using testing::TFakeTickSource;
using TAnswer = IPromptService::TAnswer;

TEST(ChatForm, IsATealWindowWithItsTabsInsideAnEightPixelMargin)
{
    TChatForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    EXPECT_EQ(form.windowTitle(), QStringLiteral("Chat"));
    EXPECT_EQ(form.size(), QSize(586, 477));
    EXPECT_EQ(form.palette().color(QPalette::Window), QColor(0x00, 0x80, 0x80));
    EXPECT_EQ(form.font().family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(form.font().pointSize(), 8);
    EXPECT_EQ(form.Tabs().geometry(), QRect(8, 8, 570, 461));
}

class ChatFormTabs : public ::testing::Test {
protected:
    std::unique_ptr<TConversationRig> AddTab()
    {
        return std::make_unique<TConversationRig>(Form, Ticks);
    }

    void ClickTab(int index)
    {
        TTabStrip& strip = Form.Tabs().Strip();
        QTest::mouseClick(&strip, Qt::LeftButton, {}, strip.TabRect(index).center());
    }

    TFakeTickSource Ticks { 100000 };
    TChatForm Form;
};

TEST_F(ChatFormTabs, ActiveSheetIsSetByTheFirstTabAndByTheUsersChoice)
{
    auto first = AddTab();
    EXPECT_EQ(Form.ActiveSheet(), first->Tab->Sheet());
    auto second = AddTab();
    EXPECT_EQ(Form.ActiveSheet(), first->Tab->Sheet()) << "later tabs leave it alone";

    ClickTab(1);
    EXPECT_EQ(Form.ActiveSheet(), second->Tab->Sheet());
    EXPECT_EQ(Form.Tabs().ActivePage(), second->Tab->Sheet());
}

TEST_F(ChatFormTabs, RemovingTheActiveTabLeavesActiveSheetMatchingNoTab)
{
    auto first = AddTab();
    auto second = AddTab();
    ClickTab(1);

    second.reset();
    EXPECT_EQ(Form.TabCount(), 1);
    EXPECT_EQ(Form.Tabs().ActivePage(), first->Tab->Sheet()) << "the remaining tab is shown";
    EXPECT_NE(Form.ActiveSheet(), first->Tab->Sheet()) << "but not counted as seen";

    auto third = AddTab();
    EXPECT_NE(Form.ActiveSheet(), third->Tab->Sheet())
        << "a new tab never inherits a dead one's place";

    first.reset();
    third.reset();
    EXPECT_EQ(Form.TabCount(), 0);
    auto fresh = AddTab();
    EXPECT_EQ(Form.ActiveSheet(), fresh->Tab->Sheet()) << "the first tab of an empty window";
}

// A crowd of callers wraps the tabs onto more rows than the screen holds: the window stays on
// the screen with the conversation's typing pane and Send button, and every tab can still be
// reached, by the keyboard and by the wheel.
TEST_F(ChatFormTabs, ACrowdsTabsKeepTheWindowAndItsControlsOnTheScreen)
{
    Form.show();
    std::vector<std::unique_ptr<TConversationRig>> crowd;
    for (int i = 0; i < 600; ++i)
        crowd.push_back(AddTab());
    QCoreApplication::processEvents();
    Form.hide();
    Form.show();
    QCoreApplication::processEvents();

    TTabStrip& strip = Form.Tabs().Strip();
    const QRect available = Form.screen()->availableGeometry();
    ASSERT_GT(strip.RowCount() * strip.TabRect(0).height(), available.height())
        << "the crowd's rows would not fit on the screen";
    EXPECT_TRUE(available.contains(Form.frameGeometry()))
        << "window " << Form.frameGeometry().height() << " px high";
    const auto onScreen = [&](QWidget* control) {
        return available.contains(QRect(control->mapToGlobal(QPoint(0, 0)), control->size()));
    };
    const auto& controls = crowd.front()->Tab->Controls();
    EXPECT_TRUE(onScreen(controls.LocalPane));
    EXPECT_TRUE(onScreen(controls.SendButton));

    // The tab before the first is the last: its row comes into view and takes clicks.
    QTest::keyClick(&Form, Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
    const int last = strip.Count() - 1;
    ASSERT_EQ(strip.CurrentIndex(), last);
    EXPECT_TRUE(strip.rect().contains(strip.TabRect(last)));
    EXPECT_EQ(strip.TabAt(strip.TabRect(last).center()), last);
    EXPECT_FALSE(strip.rect().intersects(strip.TabRect(0)));

    // The wheel brings the first row back.
    QWheelEvent up(QPointF(10, 5), strip.mapToGlobal(QPointF(10, 5)), {},
        QPoint(0, QWheelEvent::DefaultDeltasPerStep * strip.RowCount()), Qt::NoButton, {},
        Qt::NoScrollPhase, false);
    QApplication::sendEvent(&strip, &up);
    EXPECT_TRUE(strip.rect().contains(strip.TabRect(0)));
    ClickTab(0);
    EXPECT_EQ(strip.CurrentIndex(), 0);
}

TEST_F(ChatFormTabs, FactoryBuildsTabsInTheWindowUnderTheConversationsName)
{
    TChatTabFactory factory(Form, nullptr, Ticks);
    testing::TFakeOwner owner(Ticks, "Zo\xC3\xAB");
    std::unique_ptr<IConversationView> view = factory.CreateView(owner);
    owner.Relay.SetTarget(view.get());
    auto& tab = dynamic_cast<TConversationTab&>(*view);

    EXPECT_EQ(Form.TabCount(), 1);
    EXPECT_EQ(Form.Tabs().PageCaption(tab.Sheet()), QStringLiteral("Chat"));
    owner.Engine.UserChoseStyle(TChatStyle::IM);
    tab.Controls().LocalPane->AppendRun(QStringLiteral("hi"), tab.Fonts().OwnText);
    tab.SendButtonClick(true);
    EXPECT_EQ(tab.Controls().Transcript->Text(), QString::fromUtf8("Zo\xC3\xAB: hi\n"));
    view.reset();
    EXPECT_EQ(Form.TabCount(), 0);
}

class ChatFormClose : public ChatFormTabs {
protected:
    void SetUp() override
    {
        Form.SetPromptService(&Prompts);
        Form.SetMainFormHooks([this] { return ExitRequested; }, [this] { ++CloseAllCalls; });
        Form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    }

    TFakePrompts Prompts;
    bool ExitRequested = false;
    int CloseAllCalls = 0;
};

TEST_F(ChatFormClose, WithoutTheMainWindowItRefuses)
{
    Form.SetMainFormHooks(nullptr, nullptr);
    EXPECT_FALSE(Form.close());
    EXPECT_TRUE(Form.isVisible());
}

TEST_F(ChatFormClose, WithoutTabsItClosesWithoutAsking)
{
    EXPECT_TRUE(Form.close());
    EXPECT_FALSE(Form.isVisible());
    EXPECT_TRUE(Prompts.Questions.empty());
    EXPECT_EQ(CloseAllCalls, 1);
}

TEST_F(ChatFormClose, NoAndCancelKeepEverything)
{
    auto tab = AddTab();
    for (const TAnswer answer : { TAnswer::No, TAnswer::Cancel }) {
        Prompts.Answer = answer;
        EXPECT_FALSE(Form.close());
        EXPECT_TRUE(Form.isVisible());
        EXPECT_EQ(Form.TabCount(), 1);
    }
    EXPECT_EQ(CloseAllCalls, 0);
    ASSERT_EQ(Prompts.Questions.size(), 2u);
    EXPECT_EQ(Prompts.Questions[0], "Close all chats?");
}

TEST_F(ChatFormClose, YesClosesAllChatsAndHides)
{
    auto tab = AddTab();
    Prompts.Answer = TAnswer::Yes;
    EXPECT_TRUE(Form.close());
    EXPECT_FALSE(Form.isVisible());
    EXPECT_EQ(CloseAllCalls, 1);
    EXPECT_EQ(Prompts.Questions.size(), 1u);
}

TEST_F(ChatFormClose, AfterExitTheQuestionIsSkipped)
{
    auto tab = AddTab();
    ExitRequested = true;
    EXPECT_TRUE(Form.close());
    EXPECT_TRUE(Prompts.Questions.empty());
    EXPECT_EQ(CloseAllCalls, 1);
}

} // namespace
} // namespace quillet
