#include "support/ConversationRig.h"

#include "chatui/TPageControl.h"
#include "chatui/TRichPane.h"
#include "chatui/TTabStrip.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

namespace quillet {
namespace {

using testing::TConversationRig;
using testing::TFakeTickSource;

class TabKeys : public ::testing::Test {
protected:
    void SetUp() override
    {
        Form.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
        Rig = std::make_unique<TConversationRig>(Form, Ticks);
        Rig->Greet("Bob");
        Rig->Tab->RefreshControls();
        Rig->Owner.Sender.Clear();
    }

    void UseStyle(TChatStyle style)
    {
        Rig->Owner.Engine.UserChoseStyle(style);
        Rig->Tab->ApplyPendingUpdate();
        Rig->Tab->ClearTranscript();
        Rig->Owner.Sender.Clear();
    }

    // h, i, Backspace, i, Enter: the keys of the protocol's examples.
    void TypeHiBackspaceIEnter()
    {
        QTest::keyClicks(Local(), QStringLiteral("hi"));
        QTest::keyClick(Local(), Qt::Key_Backspace);
        QTest::keyClicks(Local(), QStringLiteral("i"));
        QTest::keyClick(Local(), Qt::Key_Return);
    }

    TRichPane* Local() { return Rig->Tab->Controls().LocalPane; }
    TRichPane* Transcript() { return Rig->Tab->Controls().Transcript; }
    std::string Sent() const { return Rig->Owner.Sender.Bytes(); }

    TFakeTickSource Ticks { 100000 };
    TChatForm Form;
    std::unique_ptr<TConversationRig> Rig;
};

TEST_F(TabKeys, RealtimeSendsEveryKeyAndKeepsTheLineBreakInThePane)
{
    TypeHiBackspaceIEnter();
    EXPECT_EQ(Sent(), "hi\x08i\r");
    EXPECT_EQ(Local()->Text(), QStringLiteral("hi\n"));
    EXPECT_TRUE(Transcript()->IsEmpty());
}

TEST_F(TabKeys, IMSendsTypingSignalsThenTheLineOnEnter)
{
    UseStyle(TChatStyle::IM);
    TypeHiBackspaceIEnter();
    EXPECT_EQ(Sent(), "\xF9\xF9\xF9\xF9\xF9hi\r\n");
    EXPECT_EQ(Transcript()->Text(), QStringLiteral("Alice: hi\n"));
    EXPECT_TRUE(Local()->IsEmpty());

    Rig->Owner.Sender.Clear();
    QTest::keyClick(Local(), Qt::Key_Return);
    EXPECT_EQ(Sent(), "\xF9") << "Enter in an empty pane types, but sends no line";
    EXPECT_EQ(Transcript()->Text(), QStringLiteral("Alice: hi\n"));
}

TEST_F(TabKeys, IMPreviewSendsKeysAndCommitsOnEnter)
{
    UseStyle(TChatStyle::IMPreview);
    TypeHiBackspaceIEnter();
    EXPECT_EQ(Sent(), "hi\x08i\r");
    EXPECT_EQ(Transcript()->Text(), QStringLiteral("Alice: hi\n"));
    EXPECT_TRUE(Local()->IsEmpty());
}

TEST_F(TabKeys, ClickingSendInIMPreviewAlsoEndsThePeersLine)
{
    UseStyle(TChatStyle::IMPreview);
    QTest::keyClicks(Local(), QStringLiteral("ok"));
    QTest::mouseClick(Rig->Tab->Controls().SendButton, Qt::LeftButton);
    EXPECT_EQ(Sent(), "ok\r");
    EXPECT_EQ(Transcript()->Text(), QStringLiteral("Alice: ok\n"));
    EXPECT_EQ(QApplication::focusWidget(), Local()) << "typing goes on after the click";
}

TEST_F(TabKeys, ErasingAnEmptyPaneSendsNothingInAnyStyle)
{
    for (const TChatStyle style : { TChatStyle::Realtime, TChatStyle::IM, TChatStyle::IMPreview }) {
        UseStyle(style);
        QTest::keyClick(Local(), Qt::Key_Backspace);
        QTest::keyClick(Local(), Qt::Key_Backspace, Qt::ControlModifier);
        EXPECT_EQ(Sent(), "") << static_cast<int>(style);
    }
}

// Whatever the user does to the typing pane, the other side ends up showing what the pane
// shows: its preview line in IM with preview, in Realtime what its transcript got since the
// switch. Each row edits a pane of its own, through the pane's keys, events and editing.
TEST_F(TabKeys, ThePeerShowsWhatThePaneShowsAfterEveryKindOfEdit)
{
    using enum TChatStyle;
    const auto select = [](TRichPane& pane, int from, int to) {
        QTextCursor cursor = pane.textCursor();
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        pane.setTextCursor(cursor);
    };
    const auto key = [](TRichPane& pane, int code, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(&pane, static_cast<Qt::Key>(code), modifiers);
    };
    const auto ctrl = [key](TRichPane& pane, int code) { key(pane, code, Qt::ControlModifier); };
    const auto type = [](TRichPane& pane, const char* text) { QTest::keyClicks(&pane, text); };
    const auto erase = [key](TRichPane& pane) { key(pane, Qt::Key_Backspace); };
    const auto paste = [ctrl](TRichPane& pane, const QString& text) {
        QApplication::clipboard()->setText(text);
        ctrl(pane, Qt::Key_V);
    };
    const auto dropFromOutside = [](TRichPane& pane, const QString& text) {
        QMimeData mime;
        mime.setText(text);
        const QPoint end = pane.cursorRect().center();
        QDragEnterEvent enter(end, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(pane.viewport(), &enter);
        QDropEvent drop(end, Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(pane.viewport(), &drop);
    };
    const QString longLine = QStringLiteral("start") + QString(70000, u'c') + QStringLiteral("end");
    struct TRow {
        const char* Name;
        TChatStyle Style;
        QString Typed;
        std::function<void(TRichPane&)> Edit;
        QString Expected;
    };
    // clang-format off
    const TRow rows[] = {
        { "select all, erase, type", IMPreview, "more",
            [&](TRichPane& p) { ctrl(p, Qt::Key_A); erase(p); type(p, "again"); }, "again" },
        { "typing over a selection", Realtime, "one two",
            [&](TRichPane& p) { select(p, 4, 7); type(p, "six"); }, "one six" },
        { "a key where the caret is", IMPreview, "abc",
            [&](TRichPane& p) { key(p, Qt::Key_Home); type(p, "d"); }, "dabc" },
        { "Delete after the caret, Backspace before it", Realtime, "abcd",
            [&](TRichPane& p) { select(p, 2, 2); key(p, Qt::Key_Delete); erase(p); }, "ad" },
        { "Enter in the middle of a line", Realtime, "ab",
            [&](TRichPane& p) { key(p, Qt::Key_Left); key(p, Qt::Key_Return); }, "a\nb" },
        { "a paste at the caret", Realtime, "ab",
            [&](TRichPane& p) { key(p, Qt::Key_Left); paste(p, QStringLiteral("p\r\nq")); },
            "ap\nqb" },
        { "a pasted line break sends the line", IMPreview, "x",
            [&](TRichPane& p) { paste(p, QStringLiteral("one\ntwo")); }, "two" },
        { "cut", IMPreview, "hello",
            [&](TRichPane& p) { select(p, 1, 5); ctrl(p, Qt::Key_X); }, "h" },
        { "undo and redo", Realtime, "ab",
            [&](TRichPane& p) {
                paste(p, QStringLiteral("cd")); ctrl(p, Qt::Key_Z); ctrl(p, Qt::Key_Z);
                key(p, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
            }, "ab" },
        { "a word dragged to the front", IMPreview, "hello big world",
            [&](TRichPane& p) { select(p, 6, 10); p.Editor()->Drop(p, 0, true, "big "); },
            "big hello world" },
        { "text dropped from another program", Realtime, "ab",
            [&](TRichPane& p) { dropFromOutside(p, QStringLiteral("dropped")); }, "abdropped" },
        { "a paste longer than the limit keeps its end", Realtime, "",
            [&](TRichPane& p) { paste(p, longLine); },
            longLine.right(TPaneText::KeptAfterTrim(TConversationTab::MaxTypingChars)) },
    };
    // clang-format on
    for (const TRow& row : rows) {
        TConversationRig rig(Form, Ticks);
        rig.Greet("Bob");
        rig.Tab->RefreshControls();
        rig.Owner.Engine.UserChoseStyle(row.Style);
        rig.Tab->ApplyPendingUpdate();
        TRichPane& pane = *rig.Tab->Controls().LocalPane;
        QTest::keyClicks(&pane, row.Typed);
        QCoreApplication::processEvents(); // the user's next move comes in a later pass
        row.Edit(pane);
        EXPECT_EQ(pane.Text(), row.Expected) << row.Name;

        testing::TRecordingDisplay peerDisplay;
        testing::TFakeByteSender peerSender;
        TProtocolEngine peer(peerDisplay, peerSender, Ticks, "Bob");
        peer.ProcessIncoming(rig.Owner.Sender.Bytes());
        const std::string& transcript = peerDisplay.State.Transcript;
        const std::string shown = row.Style == IMPreview ? peerDisplay.State.Preview : transcript;
        EXPECT_EQ(shown, row.Expected.toStdString()) << row.Name;
    }
}

// What the own side shows is what the peer receives: a letter Windows-1252 cannot hold goes out
// as "?", a letter whose byte is a protocol signal as its look-alike, and both show so here too.
TEST_F(TabKeys, TheOwnSideShowsWhatWasSent)
{
    // Keys of a keyboard layout with these letters (QTest only types ASCII).
    const auto type = [this](const char* utf8) {
        for (const QChar c : QString::fromUtf8(utf8))
            QTest::sendKeyEvent(QTest::Click, Local(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    };
    type("\xC3\xBC\xC3\xA9\xE2\x82\xAC\xE2\x9C\x93");
    EXPECT_EQ(Sent(), "u\xE9\x80?");
    EXPECT_EQ(Local()->Text(), QString::fromUtf8("u\xC3\xA9\xE2\x82\xAC?"));

    UseStyle(TChatStyle::IM);
    type("\xC3\xB8\xCE\xA9");
    QTest::keyClick(Local(), Qt::Key_Return);
    EXPECT_EQ(Sent(), "\xF9\xF9\xF9o?\r\n");
    EXPECT_EQ(Transcript()->Text(), QStringLiteral("Alice: o?\n"));
}

// Dead keys and input methods commit their characters through the input method, not as key
// presses: they take the same way as typed keys. What is being composed shows, but is not sent.
TEST_F(TabKeys, CharactersFromAnInputMethodAreSentLikeTypedKeys)
{
    const auto compose = [this](const QString& preedit, const QString& commit) {
        QInputMethodEvent event(preedit, {});
        event.setCommitString(commit);
        QApplication::sendEvent(Local(), &event);
    };
    QTest::keyClicks(Local(), QStringLiteral("ab"));
    compose(QString::fromUtf8("\xC2\xB4"), QString());
    EXPECT_EQ(Sent(), "ab") << "nothing goes out while composing";
    EXPECT_EQ(Local()->Text(), QStringLiteral("ab"));
    compose(QString(), QString::fromUtf8("\xC3\xA9"));
    EXPECT_EQ(Sent(), "ab\xE9");
    EXPECT_EQ(Local()->Text(), QString::fromUtf8("ab\xC3\xA9")) << "as a typed key";
    QTest::keyClick(Local(), Qt::Key_Backspace);
    EXPECT_EQ(Sent(), "ab\xE9\x08");
    EXPECT_EQ(Local()->Text(), QStringLiteral("ab"));

    UseStyle(TChatStyle::IM);
    compose(QString(), QString::fromUtf8("\xE6\x97\xA5"));
    EXPECT_EQ(Sent(), "\xF9") << "an IM typing signal";
    EXPECT_EQ(Local()->Text(), QStringLiteral("?"));
}

// In the one-line typing pane a long line scrolls sideways with the caret: a scroll bar there
// would leave a few pixels of text. A line too long to paint at every blink of the caret wraps,
// and the part with the caret shows.
TEST_F(TabKeys, ALongLineInTheOneLinePaneShowsTheCaretWithoutAScrollBar)
{
    const QString huge = QString(TRichPane::MaxBlockChars / 4, u'w').replace(u'w', "www ");
    for (const TChatStyle style : { TChatStyle::IM, TChatStyle::IMPreview }) {
        UseStyle(style);
        // Scrolling waits for the end of the pane's current frame.
        const auto caretShown = [this] {
            const QRect caret = Local()->cursorRect();
            return Local()->viewport()->rect().contains(caret.center());
        };
        QTest::keyClicks(Local(), QString(300, QLatin1Char('w')));
        EXPECT_TRUE(QTest::qWaitFor(caretShown, 5000)) << static_cast<int>(style);
        EXPECT_FALSE(Local()->horizontalScrollBar()->isVisible());
        EXPECT_GE(Local()->viewport()->height(), Local()->LineHeight());
        Local()->TypeText(huge);
        EXPECT_TRUE(QTest::qWaitFor(caretShown, 5000)) << static_cast<int>(style);
        Local()->ClearText();
    }
}

TEST_F(TabKeys, AReadOnlyPaneDropsEveryKey)
{
    Rig->Owner.Connected = false;
    Rig->Tab->RefreshControls();
    QTest::keyClicks(Local(), QStringLiteral("lost"));
    QTest::keyClick(Local(), Qt::Key_Return);
    EXPECT_EQ(Sent(), "");
    EXPECT_TRUE(Local()->IsEmpty());

    QTest::keyClicks(Transcript(), QStringLiteral("x"));
    EXPECT_EQ(Sent(), "");
    EXPECT_TRUE(Local()->IsEmpty());
}

TEST_F(TabKeys, TypingInTheTranscriptOrPreviewTypesIntoTheLocalPane)
{
    UseStyle(TChatStyle::IMPreview);
    Transcript()->setFocus();
    QTest::keyClicks(Transcript(), QStringLiteral("ab"));
    EXPECT_EQ(QApplication::focusWidget(), Local());
    QTest::keyClicks(Rig->Tab->Controls().PreviewPane, QStringLiteral("c"));
    EXPECT_EQ(Local()->Text(), QStringLiteral("abc"));
    EXPECT_EQ(Sent(), "abc");
    EXPECT_TRUE(Transcript()->IsEmpty());
}

TEST_F(TabKeys, FocusNeverMovesIntoATabThatIsNotShown)
{
    TConversationRig second(Form, Ticks);
    second.Greet("Cy");
    Local()->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), Local());

    // Everything that would focus the second tab's pane while the first tab is shown.
    second.Tab->RefreshControls();
    second.Tab->StopAttention();
    second.Owner.Engine.UserChoseStyle(TChatStyle::IM);
    EXPECT_EQ(QApplication::focusWidget(), Local());

    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("z"));
    EXPECT_EQ(Sent(), "z");
    EXPECT_EQ(second.Owner.Sender.Bytes().find('z'), std::string::npos);

    TTabStrip& strip = Form.Tabs().Strip();
    QTest::mouseClick(&strip, Qt::LeftButton, {}, strip.TabRect(1).center());
    second.Tab->RefreshControls();
    EXPECT_EQ(QApplication::focusWidget(), second.Tab->Controls().LocalPane);
}

} // namespace
} // namespace quillet
