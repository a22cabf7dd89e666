#include "support/ConversationRig.h"

#include "chatui/TChatForm.h"
#include "chatui/TPageControl.h"
#include "chatui/TRichPane.h"
#include "chatui/TTabStrip.h"
#include "skin/BuiltinSkinPackage.h"
#include "skin/SkinLoader.h"
#include "skin/TSkinData.h"

#include <QAccessible>
#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace quillet {
namespace {

using testing::TConversationRig;
using testing::TFakeTickSource;

// Three conversations in a chat window that has the keyboard.
class ChatWindowAccess : public ::testing::Test {
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

    TFakeTickSource Ticks { 100000 };
    TChatForm Form;
    std::array<std::unique_ptr<TConversationRig>, 3> Rigs;
};

TEST_F(ChatWindowAccess, KeysChooseTabsAndHandTheKeyboardToTheTypingPane)
{
    const struct {
        int From;
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
        int To;
    } rows[] = {
        { 0, Qt::Key_Tab, Qt::ControlModifier, 1 },
        { 2, Qt::Key_Tab, Qt::ControlModifier, 0 }, // wraps
        { 1, Qt::Key_PageDown, Qt::ControlModifier, 2 },
        { 2, Qt::Key_PageDown, Qt::ControlModifier, 0 },
        { 1, Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier, 0 },
        { 0, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 2 }, // wraps
        { 2, Qt::Key_PageUp, Qt::ControlModifier, 1 },
        { 0, Qt::Key_PageUp, Qt::ControlModifier, 2 },
        { 0, Qt::Key_1, Qt::AltModifier, 0 },
        { 0, Qt::Key_2, Qt::AltModifier, 1 },
        { 1, Qt::Key_3, Qt::AltModifier, 2 },
        { 1, Qt::Key_4, Qt::AltModifier, 1 }, // no fourth tab
        { 2, Qt::Key_9, Qt::AltModifier, 2 },
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

TEST_F(ChatWindowAccess, ATabChosenFromTheKeyboardStopsBlinking)
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

TEST_F(ChatWindowAccess, AClickOnATabPutsTheKeyboardIntoItsTypingPane)
{
    const struct {
        const char* What;
        int From;
        int To;
        std::function<void()> Before;
    } rows[] = {
        { "another tab", 0, 2, [] {} },
        { "the tab shown, the keyboard on its button", 1, 1,
            [this] { Tab(1).Controls().DisconnectButton->setFocus(); } },
        { "an ended conversation's tab", 0, 1,
            [this] {
                Rigs[1]->Owner.Connected = false;
                Tab(1).ShowEnded();
            } },
    };
    TTabStrip& strip = Form.Tabs().Strip();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.What);
        StartOn(row.From);
        row.Before();
        QTest::mouseClick(&strip, Qt::LeftButton, {}, strip.TabRect(row.To).center());
        EXPECT_EQ(Shown(), row.To);
        EXPECT_EQ(Form.ActiveSheet(), Tab(row.To).Sheet());
        EXPECT_EQ(QApplication::focusWidget(), Tab(row.To).Controls().LocalPane);
    }
}

TEST_F(ChatWindowAccess, TabAndTypedKeysStillGoToTheConversation)
{
    StartOn(1);
    Rigs[1]->Owner.Sender.Clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(Shown(), 1);
    EXPECT_EQ(Rigs[1]->Owner.Sender.Bytes().substr(0, 1), "a");
}

TEST_F(ChatWindowAccess, ShrinkingStopsWhereEveryControlStillFits)
{
    Rigs[1]->Owner.Engine.UserChoseStyle(TChatStyle::IM);
    Rigs[2]->Owner.Engine.UserChoseStyle(TChatStyle::IMPreview);
    for (auto& rig : Rigs)
        rig->Tab->ShowConnectionInfo("IP: 255.255.255.255 -- PORT: 65535");
    Form.resize(50, 50);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Form.size() == Form.minimumSize(); }, 2000))
        << Form.width() << "x" << Form.height();
    EXPECT_GT(Form.minimumWidth(), 50);
    EXPECT_LT(Form.minimumWidth(), 586);
    EXPECT_LT(Form.minimumHeight(), 477);

    const TTabStrip& strip = Form.Tabs().Strip();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(strip.rect().contains(strip.TabRect(i))) << "tab " << i;

    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE("tab " + std::to_string(i));
        Form.Tabs().SetActivePage(Tab(i).Sheet());
        const auto& ui = Tab(i).Controls();
        const QRect sheet = Tab(i).Sheet()->rect();
        const QWidget* controls[] = { ui.StyleCaption, ui.RealtimeChoice, ui.IMChoice,
            ui.IMPreviewChoice, ui.InfoLabel, ui.DisconnectButton, ui.Transcript, ui.TypingLabel,
            ui.PreviewPane, ui.LocalPane, ui.SendButton };
        for (const QWidget* a : controls) {
            if (!a->isVisibleTo(Tab(i).Sheet()))
                continue;
            EXPECT_TRUE(sheet.contains(a->geometry())) << a->objectName().toStdString();
            for (const QWidget* b : controls) {
                // The three choices overlap by design, a pixel or two.
                const bool choices = qobject_cast<const QRadioButton*>(a) != nullptr
                    && qobject_cast<const QRadioButton*>(b) != nullptr;
                if (a < b && !choices && b->isVisibleTo(Tab(i).Sheet())) {
                    EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                        << a->objectName().toStdString() << " covers "
                        << b->objectName().toStdString();
                }
            }
        }
        const int line = ui.LocalPane->LineHeight();
        EXPECT_GE(ui.Transcript->height(), 3 * line);
        EXPECT_GE(ui.LocalPane->height(), (i == 0 ? 3 : 1) * line);
    }
}

TEST(ChatWindowTabCaptions, TheAddressUntilTheNameAndBothInTheToolTip)
{
    TFakeTickSource ticks { 100000 };
    TChatForm form;
    TConversationRig rig(form, ticks);
    const TTabSheet& sheet = *rig.Tab->Sheet();
    const struct {
        const char* Step;
        std::function<void()> Do;
        const char* Caption;
        const char* ToolTip;
    } rows[] = {
        { "made", [] {}, "Chat", "" },
        { "dialing", [&] { rig.Tab->ShowPeerAddress("192.168.1.20", "2323"); }, "192.168.1.20",
            "192.168.1.20, port 2323" },
        { "name arrives", [&] { rig.Greet("Bob Miller, of the long name & more"); },
            "Bob Miller, of the long name & more",
            "Bob Miller, of the long name & more\n192.168.1.20, port 2323" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Step);
        row.Do();
        EXPECT_EQ(form.Tabs().PageCaption(&sheet), QString::fromUtf8(row.Caption));
        EXPECT_EQ(form.Tabs().PageToolTip(&sheet), QString::fromUtf8(row.ToolTip));
    }

    // Shown as it is, even a name that looks like markup.
    TConversationRig eve(form, ticks);
    eve.Tab->ShowPeerAddress("192.168.1.20", "2323");
    eve.Greet("<b>Eve</b>");
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    TTabStrip& strip = form.Tabs().Strip();
    const QPoint at = strip.TabRect(1).center();
    QHelpEvent help(QEvent::ToolTip, at, strip.mapToGlobal(at));
    QApplication::sendEvent(&strip, &help);
    ASSERT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 2000));
    QTextDocument shown;
    shown.setHtml(QToolTip::text());
    EXPECT_EQ(shown.toPlainText(), QStringLiteral("<b>Eve</b>\n192.168.1.20, port 2323"));
    QToolTip::hideText();

    TConversationRig nameless(form, ticks);
    nameless.Tab->ShowPeerAddress("10.0.0.7", "4000");
    nameless.Greet("");
    EXPECT_EQ(form.Tabs().PageCaption(nameless.Tab->Sheet()), QStringLiteral("10.0.0.7"))
        << "a peer that sends no name keeps its address";
}

// Two tabs alike but for one having ended look different, natively and with the skin. Neither
// stands beside the tab shown, which is drawn over its neighbours' edges.
TEST(ChatWindowTabCaptions, AnEndedConversationsTabLooksEnded)
{
    for (const bool skinned : { false, true }) {
        SCOPED_TRACE(skinned ? "skin" : "native");
        const TSkinData skin(
            skinned ? skin::LoadSkin({}, skin::BuiltinSkinPackage()) : skin::TSkinLoad {});
        ASSERT_EQ(skin.Active(), skinned);
        TFakeTickSource ticks { 100000 };
        TChatForm form;
        TConversationRig shown(form, ticks);
        TConversationRig neighbour(form, ticks);
        TConversationRig live(form, ticks);
        TConversationRig ended(form, ticks);
        live.Greet("Ann");
        ended.Greet("Ann");
        ended.Owner.Connected = false;
        ended.Tab->ShowEnded();
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        EXPECT_FALSE(form.Tabs().PageEnded(live.Tab->Sheet()));
        EXPECT_TRUE(form.Tabs().PageEnded(ended.Tab->Sheet()));

        TTabStrip& strip = form.Tabs().Strip();
        ASSERT_EQ(strip.TabRect(2).size(), strip.TabRect(3).size());
        const QImage picture = strip.grab().toImage();
        const QImage liveTab = picture.copy(strip.TabRect(2));
        const QImage endedTab = picture.copy(strip.TabRect(3));
        EXPECT_NE(liveTab, endedTab);
    }
}

QString AccessibleText(QWidget* widget, QAccessible::Text which)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face != nullptr ? face->text(which) : QStringLiteral("(none)");
}

TEST(ChatWindowScreenReader, EveryControlOfATabIsNamedAndThePanesSayWhose)
{
    TFakeTickSource ticks { 100000 };
    TChatForm form;
    TConversationRig rig(form, ticks);
    const auto& ui = rig.Tab->Controls();
    EXPECT_EQ(AccessibleText(ui.Transcript, QAccessible::Description),
        QStringLiteral("Text from the other side"));
    rig.Tab->ShowPeerAddress("10.0.0.7", "2323");
    EXPECT_EQ(AccessibleText(ui.LocalPane, QAccessible::Description),
        QStringLiteral("Your text to 10.0.0.7"));
    rig.Greet("Bob Miller");
    rig.Tab->ShowConnectionInfo("IP: 10.0.0.7 -- PORT: 2323");

    const struct {
        QWidget* Control;
        const char* Name;
        const char* Description;
    } rows[] = {
        { ui.Transcript, "Transcript", "Text from Bob Miller" },
        { ui.LocalPane, "Your text", "Your text to Bob Miller" },
        { ui.PreviewPane, "Preview", "Bob Miller is typing" },
        { ui.StyleCaption, "Chat Style:", "" },
        { ui.RealtimeChoice, "Realtime", "Chat style" },
        { ui.IMChoice, "IM Style", "Chat style" },
        { ui.IMPreviewChoice, "IM with Preview", "Chat style" },
        { ui.InfoLabel, "IP: 10.0.0.7 -- PORT: 2323", "Address and port of the other side" },
        { ui.DisconnectButton, "Disconnect", "" },
        { ui.SendButton, "Send", "" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Control->objectName().toStdString());
        EXPECT_EQ(AccessibleText(row.Control, QAccessible::Name), QString::fromUtf8(row.Name));
        EXPECT_EQ(AccessibleText(row.Control, QAccessible::Description),
            QString::fromUtf8(row.Description));
    }
}

TEST(ChatWindowScreenReader, WhatTheOtherSideSendsIsAnnouncedOncePerPass)
{
    // Text insertions reported for the transcript.
    std::vector<std::pair<int, QString>> Inserted;
    TConversationTabHooks hooks;
    QObject* transcriptObject = nullptr;
    hooks.Announce = [&](QAccessibleEvent& event) {
        if (event.type() == QAccessible::TextInserted && event.object() == transcriptObject) {
            const auto& insert = static_cast<QAccessibleTextInsertEvent&>(event);
            Inserted.emplace_back(insert.changePosition(), insert.textInserted());
        }
    };
    TFakeTickSource ticks { 100000 };
    TChatForm form;
    TConversationRig rig(form, ticks, hooks);
    rig.Greet("Bob");
    TRichPane& transcript = *rig.Tab->Controls().Transcript;
    transcriptObject = &transcript;

    // Two chunks in one pass of the event loop: one announcement with both.
    rig.Owner.Engine.ProcessIncoming("hello\r");
    rig.Owner.Engine.ProcessIncoming("there");
    EXPECT_TRUE(Inserted.empty());
    QApplication::processEvents();
    ASSERT_EQ(Inserted.size(), 1u);
    EXPECT_EQ(Inserted[0].first, 0);
    EXPECT_EQ(Inserted[0].second, QStringLiteral("hello\nthere"));
    rig.Owner.Engine.ProcessIncoming("!");
    QApplication::processEvents();
    ASSERT_EQ(Inserted.size(), 2u);
    EXPECT_EQ(Inserted[1], std::make_pair(transcript.EndPosition() - 1, QStringLiteral("!")));

    // The own side's lines are not news.
    rig.Owner.Engine.UserChoseStyle(TChatStyle::IM);
    QApplication::processEvents();
    const std::size_t before = Inserted.size();
    QTest::keyClicks(rig.Tab->Controls().LocalPane, QStringLiteral("ok"));
    rig.Tab->SendButtonClick(true);
    QApplication::processEvents();
    EXPECT_EQ(Inserted.size(), before);
    rig.Owner.Engine.ProcessIncoming("fine\r\n");
    QApplication::processEvents();
    EXPECT_EQ(Inserted.size(), before + 1);
    EXPECT_TRUE(Inserted.back().second.contains(QStringLiteral("fine")));
}

} // namespace
} // namespace quillet
