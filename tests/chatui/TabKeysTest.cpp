#include "support/ConversationRig.h"

#include "chatui/TPageControl.h"
#include "chatui/TRichPane.h"
#include "chatui/TTabStrip.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
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

TEST_F(TabKeys, KeysGoToTheEndWhereverTheCaretIs)
{
    QTest::keyClicks(Local(), QStringLiteral("abc"));
    QTest::keyClick(Local(), Qt::Key_Home);
    ASSERT_EQ(Local()->textCursor().position(), 0);
    QTest::keyClicks(Local(), QStringLiteral("d"));
    EXPECT_EQ(Local()->Text(), QStringLiteral("abcd"));
    EXPECT_EQ(Sent(), "abcd");
    // Erasing and breaking the line too: the peer takes away its last character and ends its
    // last line.
    QTest::keyClick(Local(), Qt::Key_Home);
    QTest::keyClick(Local(), Qt::Key_Backspace);
    QTest::keyClick(Local(), Qt::Key_Home);
    QTest::keyClick(Local(), Qt::Key_Return);
    EXPECT_EQ(Local()->Text(), QStringLiteral("abc\n"));
    EXPECT_EQ(Sent(), "abcd\x08\r");

    const QTextCharFormat format = Local()->document()->begin().begin().fragment().charFormat();
    EXPECT_EQ(format.fontFamilies().toStringList(), QStringList { QStringLiteral("Arial") });
    EXPECT_EQ(format.fontPointSize(), 11);
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
    Local()->moveCursor(QTextCursor::Start);
    compose(QString::fromUtf8("\xC2\xB4"), QString());
    EXPECT_EQ(Sent(), "ab") << "nothing goes out while composing";
    EXPECT_EQ(Local()->Text(), QStringLiteral("ab"));
    compose(QString(), QString::fromUtf8("\xC3\xA9"));
    EXPECT_EQ(Sent(), "ab\xE9");
    EXPECT_EQ(Local()->Text(), QString::fromUtf8("ab\xC3\xA9")) << "at the end, as a typed key";
    QTest::keyClick(Local(), Qt::Key_Backspace);
    EXPECT_EQ(Sent(), "ab\xE9\x08");
    EXPECT_EQ(Local()->Text(), QStringLiteral("ab"));

    UseStyle(TChatStyle::IM);
    compose(QString(), QString::fromUtf8("\xE6\x97\xA5"));
    EXPECT_EQ(Sent(), "\xF9") << "an IM typing signal";
    EXPECT_EQ(Local()->Text(), QStringLiteral("?"));
}

// In the one-line typing pane a long line scrolls sideways with the caret: a scroll bar there
// would leave a few pixels of text.
TEST_F(TabKeys, ALongLineInTheOneLinePaneScrollsWithoutAScrollBar)
{
    for (const TChatStyle style : { TChatStyle::IM, TChatStyle::IMPreview }) {
        UseStyle(style);
        QTest::keyClicks(Local(), QString(300, QLatin1Char('w')));
        // Scrolling waits for the end of the pane's current frame.
        const auto caretShown = [this] {
            const QRect caret = Local()->cursorRect();
            return caret.left() >= 0 && caret.right() < Local()->viewport()->width();
        };
        EXPECT_TRUE(QTest::qWaitFor(caretShown, 5000)) << static_cast<int>(style);
        EXPECT_FALSE(Local()->horizontalScrollBar()->isVisible());
        EXPECT_GE(Local()->viewport()->height(), Local()->LineHeight());
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

TEST_F(TabKeys, PastingTypesThePastedText)
{
    QApplication::clipboard()->setText(QStringLiteral("p\nq"));
    QTest::keyClick(Local(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Sent(), "p\rq");
    EXPECT_EQ(Local()->Text(), QStringLiteral("p\nq"));
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
