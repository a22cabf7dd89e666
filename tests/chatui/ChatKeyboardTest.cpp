#include "support/ConversationRig.h"

#include "chatui/TChatForm.h"
#include "chatui/TPageControl.h"
#include "chatui/TRichPane.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace quillet {
namespace {

using testing::TConversationRig;
using testing::TFakeTickSource;

// Three conversations in a chat window that has the keyboard.
class ChatKeyboard : public ::testing::Test {
protected:
    void SetUp() override
    {
        Form.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
        for (std::size_t i = 0; i < Rigs.size(); ++i) {
            Rigs[i] = std::make_unique<TConversationRig>(Form, Ticks);
            Rigs[i]->Greet(std::string(1, static_cast<char>('A' + i)) + "nn");
        }
    }

    int Shown() const { return Form.Tabs().IndexOf(Form.Tabs().ActivePage()); }
    TConversationTab& Tab(int index) const { return *Rigs[static_cast<std::size_t>(index)]->Tab; }

    // Shows tab `index` as the user would have, with the keyboard in its typing pane.
    void StartOn(int index)
    {
        Form.Tabs().SetActivePage(Tab(index).Sheet());
        Form.SetActiveSheet(Tab(index).Sheet());
        Tab(index).RefreshControls();
        ASSERT_EQ(QApplication::focusWidget(), Tab(index).Controls().LocalPane);
    }

    TFakeTickSource Ticks{100000};
    TChatForm Form;
    std::array<std::unique_ptr<TConversationRig>, 3> Rigs;
};

TEST_F(ChatKeyboard, KeysChooseTabsAndHandTheKeyboardToTheTypingPane)
{
    const struct {
        int From;
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
        int To;
    } rows[] = {
        {0, Qt::Key_Tab, Qt::ControlModifier, 1},
        {2, Qt::Key_Tab, Qt::ControlModifier, 0}, // wraps
        {1, Qt::Key_PageDown, Qt::ControlModifier, 2},
        {2, Qt::Key_PageDown, Qt::ControlModifier, 0},
        {1, Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier, 0},
        {0, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 2}, // wraps
        {2, Qt::Key_PageUp, Qt::ControlModifier, 1},
        {0, Qt::Key_PageUp, Qt::ControlModifier, 2},
        {0, Qt::Key_1, Qt::AltModifier, 0},
        {0, Qt::Key_2, Qt::AltModifier, 1},
        {1, Qt::Key_3, Qt::AltModifier, 2},
        {1, Qt::Key_4, Qt::AltModifier, 1}, // no fourth tab
        {2, Qt::Key_9, Qt::AltModifier, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(QKeySequence(row.Key | row.Modifiers).toString().toStdString() + " from "
            + std::to_string(row.From));
        StartOn(row.From);
        for (auto& rig : Rigs)
            rig->Owner.Sender.Clear();
        QTest::keyClick(QApplication::focusWidget(), row.Key, row.Modifiers);
        EXPECT_EQ(Shown(), row.To);
        EXPECT_EQ(Form.ActiveSheet(), Tab(row.To).Sheet());
        EXPECT_EQ(QApplication::focusWidget(), Tab(row.To).Controls().LocalPane);
        for (auto& rig : Rigs) {
            EXPECT_EQ(rig->Owner.Sender.Bytes(), "") << "the keys are the window's, not typed";
            EXPECT_TRUE(rig->Tab->Controls().LocalPane->IsEmpty());
        }
    }
}

TEST_F(ChatKeyboard, ATabChosenFromTheKeyboardStopsBlinking)
{
    StartOn(0);
    Rigs[2]->Owner.Engine.ProcessIncoming("news\r");
    ASSERT_TRUE(Tab(2).AttentionActive());
    ASSERT_TRUE(Tab(2).Sheet()->Highlighted());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_3, Qt::AltModifier);
    EXPECT_FALSE(Tab(2).AttentionActive());
    EXPECT_FALSE(Tab(2).Sheet()->Highlighted());
    Ticks.Advance(500);
    Tab(2).AttentionTick();
    EXPECT_FALSE(Tab(2).Sheet()->Highlighted()) << "and it stays off";
}

TEST_F(ChatKeyboard, TabAndTypedKeysStillGoToTheConversation)
{
    StartOn(1);
    Rigs[1]->Owner.Sender.Clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(Shown(), 1);
    EXPECT_EQ(Rigs[1]->Owner.Sender.Bytes().substr(0, 1), "a");
}

} // namespace
} // namespace quillet
