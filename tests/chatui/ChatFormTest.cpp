#include "support/ConversationRig.h"

#include "chatui/TChatForm.h"
#include "chatui/TChatTabFactory.h"
#include "chatui/TPageControl.h"
#include "chatui/TRichPane.h"
#include "chatui/TTabStrip.h"

#include <QTest>
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
