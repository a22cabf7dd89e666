#include "support/ConversationRig.h"

#include "chatui/ConversationTabLayout.h"
#include "chatui/TPageControl.h"
#include "chatui/TRichPane.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace quillet {
namespace {

using testing::TConversationRig;
using testing::TFakeTickSource;

// The pane's text as runs of one format.
std::vector<std::pair<QString, QTextCharFormat>> Runs(const TRichPane& pane)
{
    std::vector<std::pair<QString, QTextCharFormat>> runs;
    for (QTextBlock block = pane.document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it)
            runs.emplace_back(it.fragment().text(), it.fragment().charFormat());
    }
    return runs;
}

class ConversationTab : public ::testing::Test {
protected:
    ConversationTab()
    {
        Form.show();
        Rig = std::make_unique<TConversationRig>(Form, Ticks);
        Rig->Tab->RefreshControls();
    }
    TConversationTab& Tab() { return *Rig->Tab; }
    const TConversationTab::TControls& Ui() { return Rig->Tab->Controls(); }
    TProtocolEngine& Engine() { return Rig->Owner.Engine; }
    QString TranscriptText() { return Ui().Transcript->Text(); }

    TFakeTickSource Ticks { 100000 };
    TChatForm Form;
    std::unique_ptr<TConversationRig> Rig;
};

TEST_F(ConversationTab, StartsAsARealtimeTabNamedChat)
{
    EXPECT_EQ(Form.Tabs().PageCaption(Tab().Sheet()), QStringLiteral("Chat"));
    EXPECT_TRUE(Ui().RealtimeChoice->isChecked());
    EXPECT_EQ(Ui().RealtimeChoice->geometry(), QRect(70, 0, 113, 17));
    EXPECT_EQ(Ui().IMChoice->geometry(), QRect(70, 15, 113, 17));
    EXPECT_EQ(Ui().IMPreviewChoice->geometry(), QRect(70, 30, 113, 17));
    EXPECT_EQ(Ui().StyleCaption->text(), QStringLiteral("Chat Style:"));
    EXPECT_EQ(Ui().DisconnectButton->geometry(), QRect(Tab().Sheet()->width() - 85, 25, 75, 25));
    EXPECT_TRUE(Ui().Transcript->isReadOnly());
    EXPECT_FALSE(Ui().PreviewPane->isVisibleTo(Tab().Sheet()));
    EXPECT_FALSE(Ui().SendButton->isVisibleTo(Tab().Sheet()));
}

// Where the controls go is ConversationTabLayout's (ConversationTabLayoutTest); here, that the
// tab places its controls by it at every size and in every style, and shows the right ones.
TEST_F(ConversationTab, ControlsArePlacedByTheLayoutAtEverySizeAndStyle)
{
    for (const TChatStyle style : { TChatStyle::Realtime, TChatStyle::IM, TChatStyle::IMPreview }) {
        Engine().UserChoseStyle(style);
        QApplication::processEvents();
        for (const QSize size : { QSize(586, 477), QSize(800, 700), QSize(450, 321) }) {
            Form.resize(size);
            SCOPED_TRACE(static_cast<int>(style));
            SCOPED_TRACE(size.height());
            QWidget* sheet = Tab().Sheet();
            TConversationTabMetrics metrics;
            metrics.Sheet = sheet->size();
            metrics.Style = style;
            metrics.LocalLineHeight = Ui().LocalPane->LineHeight();
            metrics.LocalFrameWidth = Ui().LocalPane->frameWidth();
            metrics.PreviewLineHeight = Ui().PreviewPane->LineHeight();
            metrics.TypingLabelWidth = Ui().TypingLabel->width();
            metrics.InfoLabelWidth = Ui().InfoLabel->width();
            metrics.DisconnectWidth = Ui().DisconnectButton->width();
            metrics.SendWidth = Ui().SendButton->width();
            const TConversationTabLayout layout = ConversationTabLayout(metrics);
            EXPECT_EQ(Ui().Transcript->geometry(), layout.Transcript);
            EXPECT_EQ(Ui().LocalPane->geometry(), layout.LocalPane);
            EXPECT_EQ(Ui().DisconnectButton->pos(), layout.DisconnectButton);
            const bool oneLine = style != TChatStyle::Realtime;
            EXPECT_EQ(Ui().SendButton->isVisibleTo(sheet), oneLine);
            EXPECT_EQ(Ui().TypingLabel->isVisibleTo(sheet), oneLine);
            EXPECT_EQ(Ui().PreviewPane->isVisibleTo(sheet), style == TChatStyle::IMPreview);
            EXPECT_EQ(Ui().LocalPane->lineWrapMode(),
                oneLine ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
            if (oneLine) {
                EXPECT_EQ(Ui().PreviewPane->geometry(), layout.PreviewPane);
                EXPECT_EQ(Ui().SendButton->pos(), layout.SendButton);
                EXPECT_EQ(Ui().TypingLabel->pos(), layout.TypingLabel);
                EXPECT_LE(Ui().LocalPane->geometry().bottom(), sheet->height());
            }
        }
    }
}

TEST_F(ConversationTab, RefreshControlsFollowsTheConnection)
{
    const auto base = [](const TRichPane* pane) { return pane->palette().color(QPalette::Base); };
    EXPECT_FALSE(Ui().LocalPane->isReadOnly());
    EXPECT_EQ(base(Ui().Transcript), QColor(Qt::white));
    EXPECT_EQ(base(Ui().LocalPane), QColor(Qt::white));

    Rig->Owner.Connected = false;
    Tab().RefreshControls();
    EXPECT_TRUE(Ui().LocalPane->isReadOnly());
    EXPECT_EQ(base(Ui().Transcript), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(base(Ui().LocalPane), QColor(0xC0, 0xC0, 0xC0));
}

TEST_F(ConversationTab, StyleNoticeIsFramedByEmptyLinesInTheNoticeFont)
{
    Tab().WriteStatusLine("Connected");
    Engine().UserChoseStyle(TChatStyle::IM);
    EXPECT_EQ(
        TranscriptText(), QStringLiteral("Connected\n\n*** Changed to IM Chat style ***\n\n"));
    const auto runs = Runs(*Ui().Transcript);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].second.foreground().color(), QColor(0x80, 0x00, 0x00));
    EXPECT_EQ(runs[1].second.fontWeight(), QFont::Bold);

    Engine().UserChoseStyle(TChatStyle::IMPreview);
    EXPECT_TRUE(TranscriptText().endsWith(
        QStringLiteral("*** Changed to IM WITH PREVIEW Chat style ***\n\n")));
    Engine().UserChoseStyle(TChatStyle::Realtime);
    EXPECT_TRUE(TranscriptText().endsWith(
        QStringLiteral("\n\n*** Changed to REAL TIME Chat style ***\n\n")));
}

TEST_F(ConversationTab, NoNoticeInAnEmptyTranscriptOrAfterTheEnd)
{
    Engine().UserChoseStyle(TChatStyle::IM);
    EXPECT_TRUE(Ui().Transcript->IsEmpty());

    Tab().WriteStatusLine("Disconnected");
    Rig->Owner.Disconnected = true;
    Engine().UserChoseStyle(TChatStyle::Realtime);
    EXPECT_EQ(TranscriptText(), QStringLiteral("Disconnected\n"));
}

TEST_F(ConversationTab, RealtimeOwnTextMovesIntoTheTranscriptAfterABlank)
{
    Rig->Greet("Bob");
    Engine().ProcessIncoming("hello");
    QTest::keyClicks(Ui().LocalPane, QStringLiteral("mine"));
    Engine().UserChoseStyle(TChatStyle::IM);
    EXPECT_EQ(
        TranscriptText(), QStringLiteral("hello mine\n\n*** Changed to IM Chat style ***\n\n"));
    EXPECT_TRUE(Ui().LocalPane->IsEmpty());
}

TEST_F(ConversationTab, IMDropsTheUnsentLineOnASwitch)
{
    Engine().UserChoseStyle(TChatStyle::IM);
    Tab().ClearTranscript();
    QTest::keyClicks(Ui().LocalPane, QStringLiteral("unsent"));
    Engine().UserChoseStyle(TChatStyle::IMPreview);
    EXPECT_TRUE(Ui().LocalPane->IsEmpty());
    EXPECT_FALSE(TranscriptText().contains(QStringLiteral("unsent")));
}

TEST_F(ConversationTab, IMPreviewWritesBothUnfinishedLinesWithTheirNames)
{
    Rig->Greet("Bob");
    Engine().UserChoseStyle(TChatStyle::IMPreview);
    Tab().ClearTranscript();
    QApplication::processEvents();
    EXPECT_EQ(Ui().TypingLabel->text(), QStringLiteral("Bob types: "));
    Engine().ProcessIncoming("theirs");
    QTest::keyClicks(Ui().LocalPane, QStringLiteral("mine"));
    Engine().UserChoseStyle(TChatStyle::Realtime);
    EXPECT_TRUE(TranscriptText().startsWith(QStringLiteral("Alice: mine\nBob: theirs\n")));
    EXPECT_TRUE(Ui().PreviewPane->IsEmpty());
}

// Counts the resizes a widget gets: each is one relayout of the tab that moved it.
class TResizeCounter final : public QObject {
public:
    explicit TResizeCounter(QWidget& widget) { widget.installEventFilter(this); }
    int Count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        Count += event->type() == QEvent::Resize ? 1 : 0;
        return false;
    }
};

// A peer that sends style signals as fast as it can: every one is answered at once, before the
// window does anything, and the window follows once, with the style the burst ends in.
TEST_F(ConversationTab, ABurstOfStyleSignalsIsAnsweredAtOnceAndShownOnce)
{
    Rig->Greet("Bob");
    Engine().ProcessIncoming("hi\r");
    QApplication::processEvents();
    Rig->Owner.Sender.Clear();
    std::string burst;
    for (int i = 0; i < 3000; ++i)
        burst += static_cast<char>(0xFB + i % 3 - (i % 3 == 2 ? 3 : 0)); // FB FC FA ...
    burst += '\xFB';
    const TResizeCounter transcriptResizes(*Ui().Transcript);

    Engine().ProcessIncoming(burst);
    // Each signal changed the marked choice, so each was answered: all of them in one send.
    EXPECT_EQ(Rig->Owner.Sender.Sends(), std::vector<std::string> { burst });
    EXPECT_EQ(Engine().Style(), TChatStyle::IM);
    EXPECT_EQ(transcriptResizes.Count, 0);
    EXPECT_TRUE(Ui().RealtimeChoice->isChecked()) << "the window follows once the pass ends";

    QApplication::processEvents();
    EXPECT_EQ(Tab().Style(), TChatStyle::IM);
    EXPECT_TRUE(Ui().IMChoice->isChecked());
    EXPECT_TRUE(Ui().SendButton->isVisibleTo(Tab().Sheet()));
    EXPECT_EQ(transcriptResizes.Count, 1) << "one relayout, from Realtime to IM";
    // Every switch still left its notice, as the conversation's record.
    EXPECT_EQ(TranscriptText().count(QStringLiteral("*** Changed to ")), 3001);
}

// A key the peer typed after a quiet spell is in the transcript's document before the event
// loop runs again; what follows within a frame of that waits for one update when the pass ends.
TEST_F(ConversationTab, ReceivedTextAfterAQuietSpellShowsAtOnceAndABurstOncePerPass)
{
    Rig->Greet("Bob");
    QApplication::processEvents();
    const QTextDocument& shown = *Ui().Transcript->document();
    Ticks.Advance(TRichPane::FrameIntervalMs);
    Engine().ProcessIncoming("a");
    EXPECT_FALSE(Tab().UpdatePending());
    EXPECT_EQ(shown.toPlainText(), QStringLiteral("a"));
    Engine().ProcessIncoming("b");
    EXPECT_TRUE(Tab().UpdatePending());
    EXPECT_EQ(shown.toPlainText(), QStringLiteral("a"));
    QApplication::processEvents();
    EXPECT_EQ(shown.toPlainText(), QStringLiteral("ab"));
}

// A received switch is decided and answered by the conversation thread before the window shows
// it. A key typed meanwhile meets the switch shown first, so that the window and the wire agree:
// in IM the key goes out as a typing signal and stays in the typing pane as an unsent line.
TEST_F(ConversationTab, AKeyTypedBeforeAReceivedSwitchShowsGoesByTheNewStyle)
{
    Rig->Greet("Bob");
    Rig->Owner.Sender.Clear();
    Engine().DecideIncoming("\xFB");
    EXPECT_EQ(Tab().Style(), TChatStyle::Realtime);
    Ui().LocalPane->TypeChar(U'x');
    EXPECT_EQ(Tab().Style(), TChatStyle::IM);
    EXPECT_EQ(Rig->Owner.Sender.Bytes(), "\xFB\xF9");
    EXPECT_EQ(Ui().LocalPane->Text(), QStringLiteral("x"));
    EXPECT_FALSE(TranscriptText().contains(u'x'));
}

TEST_F(ConversationTab, IMLinesArriveUnderTheLabelOnce)
{
    Rig->Greet("Bob");
    Engine().UserChoseStyle(TChatStyle::IM);
    Tab().ClearTranscript();
    Engine().ProcessIncoming("\xF9");
    QApplication::processEvents();
    EXPECT_EQ(Ui().TypingLabel->text(), QStringLiteral("Bob is typing..."));
    Engine().ProcessIncoming("h");
    Engine().ProcessIncoming("i\r\nyo\x08u\r\n");
    EXPECT_EQ(TranscriptText(), QStringLiteral("Bob: hi\nBob: yu\n"));
    QApplication::processEvents();
    EXPECT_EQ(Ui().TypingLabel->text(), QString());

    const auto runs = Runs(*Ui().Transcript);
    ASSERT_GE(runs.size(), 2u);
    EXPECT_EQ(runs[0].first, QStringLiteral("Bob: "));
    EXPECT_EQ(runs[0].second.fontFamilies().toStringList(),
        QStringList { QStringLiteral("Arial Narrow") });
    EXPECT_EQ(runs[0].second.foreground().color(), QColor(0x00, 0x00, 0x80));
    EXPECT_EQ(runs[1].first, QStringLiteral("hi"));
    EXPECT_EQ(runs[1].second.foreground().color(), QColor(0x00, 0x00, 0xFF));
    EXPECT_EQ(runs[1].second.fontPointSize(), 11);
}

TEST_F(ConversationTab, PreviewLineIsEditedAndCommittedUnderThePeersName)
{
    Rig->Greet("Bob");
    Engine().UserChoseStyle(TChatStyle::IMPreview);
    Tab().ClearTranscript();
    Engine().ProcessIncoming("ab\x08"
                             "c\xF7");
    EXPECT_EQ(Ui().PreviewPane->Text(), QString::fromUtf8("ac\xC3\xB7"));
    Engine().ProcessIncoming("\r");
    EXPECT_EQ(TranscriptText(), QString::fromUtf8("Bob: ac\xC3\xB7\n"));
    EXPECT_TRUE(Ui().PreviewPane->IsEmpty());
}

TEST_F(ConversationTab, PeerNamesStayPlainText)
{
    const std::string name = "<b>Eve</b> &amp;";
    Rig->Greet(name);
    Engine().UserChoseStyle(TChatStyle::IM);
    Tab().ClearTranscript();
    Engine().ProcessIncoming("x");
    EXPECT_EQ(Form.Tabs().PageCaption(Tab().Sheet()), QString::fromStdString(name));
    EXPECT_EQ(TranscriptText(), QString::fromStdString(name + ": x"));
    Engine().UserChoseStyle(TChatStyle::IMPreview);
    EXPECT_EQ(Ui().TypingLabel->textFormat(), Qt::PlainText);
}

TEST_F(ConversationTab, StatusLinesAndErasuresWorkOnWholeLines)
{
    Engine().ProcessIncoming("Bob\r\n");
    Engine().ProcessIncoming("ab\r");
    Engine().ProcessIncoming("\x08\x08");
    EXPECT_EQ(TranscriptText(), QStringLiteral("a"));
    Tab().WriteStatusLine("Disconnected");
    EXPECT_EQ(TranscriptText(), QStringLiteral("a\nDisconnected\n"));
}

TEST_F(ConversationTab, ConnectionInfoSitsInTheTopRightCorner)
{
    Tab().ShowConnectionInfo("IP: 10.0.0.7 -- PORT: 2323");
    const QRect info = Ui().InfoLabel->geometry();
    EXPECT_EQ(Ui().InfoLabel->text(), QStringLiteral("IP: 10.0.0.7 -- PORT: 2323"));
    EXPECT_EQ(info.right() + 1, Tab().Sheet()->width() - 10);
    EXPECT_EQ(info.top(), 3);
}

// Disconnect turns into Close under the mouse: the second click of a double click on Disconnect
// must not close the tab (and lose its transcript) too.
TEST_F(ConversationTab, CloseIgnoresClicksForADoubleClickIntervalAfterDisconnectBecameIt)
{
    Tab().ShowEnded();
    ASSERT_EQ(Ui().DisconnectButton->text(), QStringLiteral("Close"));
    Ticks.Value += static_cast<TTick>(QApplication::doubleClickInterval()) - 1;
    QTest::mouseClick(Ui().DisconnectButton, Qt::LeftButton);
    EXPECT_EQ(Rig->Owner.DisconnectClicks, 0);
    Ticks.Value += 1;
    QTest::mouseClick(Ui().DisconnectButton, Qt::LeftButton);
    EXPECT_EQ(Rig->Owner.DisconnectClicks, 1);
}

// What a tab's panes show and how they stand, as a user or a screen reader meets them.
std::vector<std::string> PaneStates(TConversationTab& tab)
{
    std::vector<std::string> states;
    const auto& ui = tab.Controls();
    QWidget* sheet = tab.Sheet();
    for (TRichPane* pane : { ui.Transcript, ui.PreviewPane, ui.LocalPane }) {
        const QRect g = pane->geometry();
        states.push_back(
            QStringLiteral("%1: text \"%2\" %3 %4x%5+%6+%7 %8 %9 wrap %10 font %11 "
                           "\"%12\" at end %13")
                .arg(pane->objectName(), pane->Text())
                .arg(pane->isVisibleTo(sheet) ? "shown" : "hidden")
                .arg(g.width())
                .arg(g.height())
                .arg(g.x())
                .arg(g.y())
                .arg(pane->isReadOnly() ? "read-only" : "writable")
                .arg(pane->palette().color(QPalette::Base).name())
                .arg(static_cast<int>(pane->lineWrapMode()))
                .arg(pane->font().family())
                .arg(pane->accessibleDescription())
                .arg(pane->verticalScrollBar()->value() == pane->verticalScrollBar()->maximum())
                .toStdString());
    }
    // The order Tab walks the tab's controls in.
    std::string order;
    for (QWidget* w = ui.Transcript->nextInFocusChain(); w != ui.Transcript;
         w = w->nextInFocusChain()) {
        if (w->parentWidget() == sheet && w->focusPolicy() & Qt::TabFocus)
            order += w->objectName().toStdString() + " ";
    }
    states.push_back(order);
    states.push_back("minimum " + std::to_string(sheet->minimumWidth()) + "x"
        + std::to_string(sheet->minimumHeight()));
    return states;
}

// A tab nobody has looked at has its text without panes, which are made when it is first shown.
// They must come out as those of a tab shown all along that went through the same.
TEST(ConversationTabPanes, PanesMadeWhenATabIsFirstShownAreThoseOfATabShownAllAlong)
{
    TFakeTickSource ticks { 100000 };
    TChatForm form;
    form.show();
    TConversationRig shown(form, ticks);
    TConversationRig later(form, ticks);
    ASSERT_TRUE(shown.Tab->PanesMade());
    ASSERT_FALSE(later.Tab->PanesMade());
    for (TConversationRig* rig : { &shown, &later }) {
        rig->Tab->ShowConnectionInfo("IP: 192.168.100.200 -- PORT: 65000");
        rig->Tab->RefreshControls();
        rig->Greet("Bob Miller");
        rig->Owner.Engine.UserChoseStyle(TChatStyle::IMPreview);
        for (int i = 0; i < 40; ++i)
            rig->Owner.Engine.ProcessIncoming("line " + std::to_string(i) + "\r");
        rig->Owner.Engine.ProcessIncoming("half a li\x08ne");
        QApplication::processEvents();
    }
    EXPECT_FALSE(later.Tab->PanesMade()) << "nothing so far needed them";
    const QSize unmadeMinimum = later.Tab->Sheet()->minimumSize();
    const std::vector<std::string> expected = PaneStates(*shown.Tab);

    form.Tabs().SetActivePage(later.Tab->Sheet());
    EXPECT_TRUE(later.Tab->PanesMade());
    QApplication::processEvents();
    EXPECT_EQ(PaneStates(*later.Tab), expected);
    // In the order of the tab's controls from top left to bottom right, after the transcript.
    EXPECT_EQ(expected[3],
        "RealtimeChoice IMChoice IMPreviewChoice DisconnectButton PreviewPane LocalPane "
        "SendButton ");
    EXPECT_EQ(later.Tab->Sheet()->minimumSize(), unmadeMinimum)
        << "measured the same before the panes were there";
}

TEST(ConversationTabCall, IncomingGreetingBringsTheWindowsForward)
{
    TFakeTickSource ticks { 100000 };
    TChatForm form;
    int mainShown = 0;
    std::vector<int> flashes;
    TConversationTabHooks hooks;
    hooks.ShowMainWindow = [&] { ++mainShown; };
    hooks.FlashTaskbar = [&](QWidget* window, int count) {
        EXPECT_EQ(window, &form);
        flashes.push_back(count);
    };
    TConversationRig incoming(form, ticks, hooks);
    incoming.Owner.Incoming = true;
    TConversationRig outgoing(form, ticks, hooks);

    outgoing.Greet("Ann");
    EXPECT_FALSE(form.isVisible()) << "an outgoing call does not show the window";
    EXPECT_EQ(mainShown, 0);

    incoming.Greet("Bob");
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(mainShown, 1);
    EXPECT_EQ(flashes, std::vector<int> { 10 });
    EXPECT_EQ(form.Tabs().PageCaption(incoming.Tab->Sheet()), QStringLiteral("Bob"));
}

} // namespace
} // namespace quillet
