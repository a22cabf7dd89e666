// Two copies of the conversation machinery in one process, each with its real chat window and
// tabs: a listener on an ephemeral loopback port, calls dialed through RequestCall, keys typed
// into the tabs with QTest.
#include "chatui/TChatForm.h"
#include "chatui/TChatTabFactory.h"
#include "chatui/TConversationTab.h"
#include "chatui/TPageControl.h"
#include "chatui/TRichPane.h"
#include "chatui/TTabSheet.h"
#include "net/TChatServer.h"
#include "platform/qt/QtMainThreadDispatcher.h"
#include "support/ProgramCopy.h"
#include "support/ProtocolFakes.h"
#include "support/RawPeer.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

namespace quillet {
namespace {

using namespace std::chrono_literals;

using TCopy = testing::TProgramCopy;

QString TranscriptOf(TConversationTab& tab)
{
    return tab.Controls().Transcript->Text();
}

bool Marked(TConversationTab& tab, TChatStyle style)
{
    const auto& ui = tab.Controls();
    switch (style) {
    case TChatStyle::Realtime:
        return ui.RealtimeChoice->isChecked();
    case TChatStyle::IM:
        return ui.IMChoice->isChecked();
    case TChatStyle::IMPreview:
        return ui.IMPreviewChoice->isChecked();
    }
    return false;
}

void Type(TConversationTab& tab, const QString& text)
{
    for (const QChar c : text)
        tab.Controls().LocalPane->TypeChar(c.unicode());
}

class EndToEndTest : public ::testing::Test {
protected:
    // A call from Alice to Bob in `style`, both greeted, the start style echoed and marked.
    void Call(TCopy& alice, TCopy& bob, TChatStyle style, std::size_t index = 0)
    {
        ASSERT_NE(bob.Port(), 0);
        alice.Server->RequestCall("127.0.0.1", std::to_string(bob.Port()), style);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return alice.Views.Tabs.size() > index && bob.Views.Tabs.size() > index
                    && alice.Tab(index).PeerName() == "Bob" && bob.Tab(index).PeerName() == "Alice"
                    && alice.Tab(index).Style() == style && bob.Tab(index).Style() == style
                    && Marked(alice.Tab(index), style) && Marked(bob.Tab(index), style);
            },
            5000));
    }

    TQtMainThreadDispatcher Dispatcher;
    testing::TFakeTickSource Ticks { 500000 };
};

TEST_F(EndToEndTest, RealtimeKeysAndErasuresReachThePeerAsTyped)
{
    TCopy alice(Dispatcher, "Alice", Ticks);
    TCopy bob(Dispatcher, "Bob", Ticks);
    Call(alice, bob, TChatStyle::Realtime);
    EXPECT_TRUE(alice.Form.isVisible());
    EXPECT_TRUE(bob.Form.isVisible());
    auto& a = alice.Tab(0);
    auto& b = bob.Tab(0);
    EXPECT_EQ(TranscriptOf(a), "");
    EXPECT_EQ(a.Controls().DisconnectButton->text(), "Disconnect");

    Type(a, "hellp");
    a.Controls().LocalPane->TypeChar(8);
    Type(a, "o\r");
    QTest::keyClicks(a.Controls().LocalPane, "there");
    EXPECT_TRUE(QTest::qWaitFor([&] { return TranscriptOf(b) == "hello\nthere"; }, 3000))
        << TranscriptOf(b).toStdString();
    EXPECT_EQ(a.Controls().LocalPane->Text(), "hello\nthere");
}

TEST_F(EndToEndTest, ImLinesTypingNoticesAndDisconnect)
{
    TCopy alice(Dispatcher, "Alice", Ticks);
    TCopy bob(Dispatcher, "Bob", Ticks);
    Call(alice, bob, TChatStyle::IM);
    auto& a = alice.Tab(0);
    auto& b = bob.Tab(0);

    Type(a, "hi");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return b.Controls().TypingLabel->text() == "Alice is typing..."; }, 3000));
    Ticks.Value += 2500;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return b.Controls().TypingLabel->text() == "Alice has stopped typing..."; }, 3000));
    Ticks.Value += 4000;
    EXPECT_TRUE(QTest::qWaitFor([&] { return b.Controls().TypingLabel->text().isEmpty(); }, 3000));

    Type(a, "there");
    QTest::mouseClick(a.Controls().SendButton, Qt::LeftButton);
    EXPECT_EQ(TranscriptOf(a), "Alice: hithere\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return TranscriptOf(b) == "Alice: hithere\n"; }, 3000))
        << TranscriptOf(b).toStdString();
    // The notice follows at the end of the event loop's pass.
    EXPECT_TRUE(QTest::qWaitFor([&] { return b.Controls().TypingLabel->text().isEmpty(); }, 3000));

    // Bob disconnects: both write "Disconnected" once, the button becomes "Close".
    QTest::mouseClick(b.Controls().DisconnectButton, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return a.Controls().DisconnectButton->text() == "Close"
                && b.Controls().DisconnectButton->text() == "Close";
        },
        3000));
    EXPECT_EQ(TranscriptOf(a).count("Disconnected"), 1) << TranscriptOf(a).toStdString();
    EXPECT_LE(TranscriptOf(b).count("Disconnected"), 1);
    EXPECT_TRUE(a.Controls().LocalPane->isReadOnly());
    EXPECT_EQ(alice.Offers, std::vector<std::string> { "Bob" });

    // Close removes the tab (once it is no second click of a double click on Disconnect); the
    // last one hides the window.
    Ticks.Value += static_cast<TTick>(QApplication::doubleClickInterval());
    QTest::mouseClick(a.Controls().DisconnectButton, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !alice.TabAlive(0); }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !alice.Form.isVisible(); }, 3000));
    EXPECT_EQ(alice.Form.TabCount(), 0);
}

TEST_F(EndToEndTest, PreviewLineAndStyleSwitchesWithNoticesAndEchoes)
{
    TCopy alice(Dispatcher, "Alice", Ticks);
    TCopy bob(Dispatcher, "Bob", Ticks);
    Call(alice, bob, TChatStyle::IMPreview);
    auto& a = alice.Tab(0);
    auto& b = bob.Tab(0);
    EXPECT_EQ(b.Controls().TypingLabel->text(), "Alice types: ");

    Type(a, "draft");
    EXPECT_TRUE(QTest::qWaitFor([&] { return b.Controls().PreviewPane->Text() == "draft"; }, 3000));
    a.Controls().LocalPane->TypeChar(8);
    EXPECT_TRUE(QTest::qWaitFor([&] { return b.Controls().PreviewPane->Text() == "draf"; }, 3000));
    // A mouse click on Send commits the line on both sides.
    QTest::mouseClick(a.Controls().SendButton, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return TranscriptOf(b) == "Alice: draf\n"; }, 3000))
        << TranscriptOf(b).toStdString();
    EXPECT_EQ(TranscriptOf(a), "Alice: draf\n");
    EXPECT_TRUE(b.Controls().PreviewPane->Text().isEmpty());

    // Bob picks Realtime: both switch, both write the notice, both choices end marked.
    QTest::mouseClick(b.Controls().RealtimeChoice, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return a.Style() == TChatStyle::Realtime && a.Controls().RealtimeChoice->isChecked();
        },
        3000));
    EXPECT_EQ(b.Style(), TChatStyle::Realtime);
    const QString notice = "*** Changed to REAL TIME Chat style ***";
    EXPECT_TRUE(TranscriptOf(a).contains(notice)) << TranscriptOf(a).toStdString();
    EXPECT_TRUE(TranscriptOf(b).contains(notice)) << TranscriptOf(b).toStdString();
    EXPECT_FALSE(a.Controls().PreviewPane->isVisible());
    EXPECT_FALSE(a.Controls().SendButton->isVisible());

    // Alice picks IM with preview again: Bob follows.
    QTest::mouseClick(a.Controls().IMPreviewChoice, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return b.Style() == TChatStyle::IMPreview && b.Controls().IMPreviewChoice->isChecked();
        },
        3000));
    EXPECT_EQ(a.Style(), TChatStyle::IMPreview);
}

// The other side's preview line is the typing pane as it shows, however the user edits it.
TEST_F(EndToEndTest, ThePreviewFollowsEveryEditOfTheTypingPane)
{
    TCopy alice(Dispatcher, "Alice", Ticks);
    TCopy bob(Dispatcher, "Bob", Ticks);
    Call(alice, bob, TChatStyle::IMPreview);
    TRichPane& pane = *alice.Tab(0).Controls().LocalPane;
    TRichPane& preview = *bob.Tab(0).Controls().PreviewPane;
    const auto previewIsPane = [&](const QString& expected) {
        EXPECT_EQ(pane.Text(), expected);
        EXPECT_TRUE(QTest::qWaitFor([&] { return preview.Text() == pane.Text(); }, 3000))
            << preview.Text().toStdString() << " / " << pane.Text().toStdString();
    };

    QTest::keyClicks(&pane, QStringLiteral("more"));
    QTest::keyClick(&pane, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&pane, Qt::Key_Backspace);
    QTest::keyClicks(&pane, QStringLiteral("again"));
    previewIsPane(QStringLiteral("again"));

    QApplication::clipboard()->setText(QStringLiteral("once "));
    QTest::keyClick(&pane, Qt::Key_Home);
    QTest::keyClick(&pane, Qt::Key_V, Qt::ControlModifier);
    previewIsPane(QStringLiteral("once again"));

    QTest::keyClick(&pane, Qt::Key_Z, Qt::ControlModifier);
    previewIsPane(QStringLiteral("again"));
}

TEST_F(EndToEndTest, BackgroundTabBlinksAndActiveSheetFollowsTheUser)
{
    TCopy alice(Dispatcher, "Alice", Ticks);
    TCopy bob(Dispatcher, "Bob", Ticks);
    Call(alice, bob, TChatStyle::Realtime, 0);
    Call(alice, bob, TChatStyle::Realtime, 1);
    // The first tab of an empty window is the active sheet.
    EXPECT_EQ(bob.Form.ActiveSheet(), bob.Tab(0).Sheet());

    // A line arriving on the second (background) tab makes it blink.
    Type(alice.Tab(1), "news\r");
    auto& background = bob.Tab(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return background.AttentionActive(); }, 3000));
    EXPECT_TRUE(bob.Form.Tabs().PageHighlighted(background.Sheet()));
    // Each toggle needs more than 200 ms on the clock since the last, and a pass of the
    // conversation thread (every 300 ms) to notice.
    for (int toggles = 1; toggles <= TConversationTab::MaxToggles; ++toggles) {
        Ticks.Value += 250;
        EXPECT_TRUE(QTest::qWaitFor([&] { return background.ToggleCount() == toggles; }, 10000));
    }
    EXPECT_EQ(background.ToggleCount(), TConversationTab::MaxToggles);
    EXPECT_TRUE(bob.Form.Tabs().PageHighlighted(background.Sheet())) << "blinking ends lit";

    // The user picks the tab: it is the active sheet, and its attention ends.
    bob.Form.Tabs().SetActivePage(background.Sheet());
    bob.Form.TabsChange();
    EXPECT_EQ(bob.Form.ActiveSheet(), background.Sheet());
    background.StopAttention();
    EXPECT_FALSE(background.AttentionActive());
    EXPECT_FALSE(bob.Form.Tabs().PageHighlighted(background.Sheet()));
}

// A call the user places comes to the front and takes the keyboard, also when the tab in front
// is one whose conversation has ended; the callee keeps the tab it looks at.
TEST_F(EndToEndTest, ADialedCallShowsItsTabAndTakesTheKeyboard)
{
    TCopy alice(Dispatcher, "Alice", Ticks);
    TCopy bob(Dispatcher, "Bob", Ticks);
    Call(alice, bob, TChatStyle::Realtime, 0);
    QTest::mouseClick(bob.Tab(0).Controls().DisconnectButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return alice.Tab(0).Controls().DisconnectButton->text() == "Close"; }, 3000));
    ASSERT_EQ(alice.Form.Tabs().ActivePage(), alice.Tab(0).Sheet());
    QWidget* bobWasTypingIn = bob.Form.focusWidget();

    Call(alice, bob, TChatStyle::Realtime, 1);
    auto& dialed = alice.Tab(1);
    EXPECT_EQ(alice.Form.Tabs().ActivePage(), dialed.Sheet());
    EXPECT_EQ(alice.Form.ActiveSheet(), dialed.Sheet()) << "counted as seen: it does not blink";
    ASSERT_EQ(alice.Form.focusWidget(), dialed.Controls().LocalPane);
    QTest::keyClicks(alice.Form.focusWidget(), QStringLiteral("hi"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return TranscriptOf(bob.Tab(1)) == "hi"; }, 3000))
        << TranscriptOf(bob.Tab(1)).toStdString();

    EXPECT_EQ(bob.Form.Tabs().ActivePage(), bob.Tab(0).Sheet()) << "a call that came in";
    EXPECT_EQ(bob.Form.ActiveSheet(), bob.Tab(0).Sheet());
    EXPECT_EQ(bob.Form.focusWidget(), bobWasTypingIn);
}

TEST_F(EndToEndTest, ClosingTheWindowWithYesEndsThreeConversations)
{
    TCopy alice(Dispatcher, "Alice", Ticks);
    TCopy bob(Dispatcher, "Bob", Ticks);
    for (std::size_t i = 0; i < 3; ++i)
        Call(alice, bob, TChatStyle::IM, i);
    EXPECT_EQ(bob.Form.TabCount(), 3);

    bob.Prompts.Answer = IPromptService::TAnswer::No;
    EXPECT_FALSE(bob.Form.close());
    EXPECT_EQ(bob.Form.TabCount(), 3);

    bob.Prompts.Answer = IPromptService::TAnswer::Yes;
    EXPECT_TRUE(bob.Form.close());
    EXPECT_TRUE(QTest::qWaitFor([&] { return bob.Form.TabCount() == 0; }, 5000));
    EXPECT_FALSE(bob.Form.isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return bob.Server->ConversationCount() == 0; }, 3000));
    // Alice's side sees the three ends.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            for (std::size_t i = 0; i < 3; ++i) {
                if (alice.Tab(i).Controls().DisconnectButton->text() != "Close")
                    return false;
            }
            return true;
        },
        5000));
}

// The user types in another window (a password, say) while calls come in and a caller writes:
// every key lands in that window, none reaches a caller, and the chat window asks for attention
// instead. The offscreen platform activates every window it shows, so the chat window is up
// already, with a first conversation, as when the user has switched away from it; on a desktop
// the chat window is also shown without activation.
TEST_F(EndToEndTest, IncomingCallsNeverTakeTheKeyboard)
{
    TCopy bob(Dispatcher, "Bob", Ticks);
    std::vector<std::unique_ptr<testing::TRawPeer>> callers;
    const auto call = [&](const std::string& name) {
        callers.push_back(std::make_unique<testing::TRawPeer>());
        ASSERT_TRUE(callers.back()->Connect(bob.Port()));
        ASSERT_TRUE(callers.back()->Send(name + "\r\n"));
    };
    call("first");
    ASSERT_TRUE(QTest::qWaitFor([&] { return bob.Views.Greeted() == 1; }, 5000));

    QWidget otherProgram;
    otherProgram.setWindowTitle(QStringLiteral("Another program"));
    QLineEdit password(&otherProgram);
    otherProgram.show();
    otherProgram.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&otherProgram));
    password.setFocus();
    QString typed;
    const auto typeOn = [&] {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClicks(target, QStringLiteral("s"));
        typed += QLatin1Char('s');
    };

    for (int i = 0; i < 3; ++i) {
        call("caller" + std::to_string(i));
        ASSERT_TRUE(callers.front()->Send("line\r"));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                typeOn();
                return bob.Views.Greeted() == static_cast<std::size_t>(i) + 2;
            },
            5000));
    }
    typeOn();
    EXPECT_EQ(password.text(), typed);
    EXPECT_EQ(QApplication::activeWindow(), &otherProgram);
    for (const auto& caller : callers)
        EXPECT_EQ(caller->Receive(64, 200ms), "Bob\r\n") << "nothing typed reached a caller";
    EXPECT_TRUE(bob.Tab(0).Controls().LocalPane->IsEmpty());
}

} // namespace
} // namespace quillet
