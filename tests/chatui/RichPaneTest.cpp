#include "chatui/TRichPane.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

namespace quillet {
namespace {

class RichPane : public ::testing::Test {
protected:
    RichPane()
    {
        Pane.resize(300, 200);
        Pane.setReadOnly(true);
        Blue.setForeground(Qt::blue);
    }

    TRichPane Pane;
    QTextCharFormat Blue;
};

TEST_F(RichPane, AVeryLongLineStaysOneLineOfText)
{
    const int length = 3 * TRichPane::MaxBlockChars + 123;
    QString line;
    for (int i = 0; i < length; ++i)
        line += QChar(u'a' + i % 26);
    for (int at = 0; at < length; at += 1000)
        Pane.AppendRun(line.mid(at, 1000), Blue);

    EXPECT_GT(Pane.document()->blockCount(), 3) << "split into bounded paragraphs";
    for (QTextBlock b = Pane.document()->begin(); b.isValid(); b = b.next())
        EXPECT_LE(b.length() - 1, TRichPane::MaxBlockChars);
    EXPECT_EQ(Pane.Text(), line);
    EXPECT_FALSE(Pane.EndsWithLineBreak());

    Pane.selectAll();
    Pane.copy();
    EXPECT_EQ(QApplication::clipboard()->text(), line) << "copying joins the paragraphs";

    Pane.AddLine();
    EXPECT_TRUE(Pane.EndsWithLineBreak());
    EXPECT_EQ(Pane.Text(), line + u'\n');
}

// A pane with a limit keeps its latest text: whole lines go from the front, down to three
// quarters of the limit, and the first line then says so. That line is not the peer's to erase,
// and line ends alone count against the limit too.
TEST_F(RichPane, ALimitedPaneDropsItsOldestLinesAndSaysSo)
{
    Pane.SetLimit(100, QStringLiteral("(removed)"), {});
    for (int i = 0; i < 30; ++i) {
        Pane.AppendRun(QStringLiteral("line %1").arg(i, 2, 10, QLatin1Char('0')), Blue);
        Pane.AddLine();
    }
    const QString text = Pane.Text();
    ASSERT_TRUE(text.startsWith(QStringLiteral("(removed)\nline "))) << text.toStdString();
    const QString kept = text.mid(10);
    EXPECT_LE(kept.size(), 100);
    EXPECT_GE(kept.size(), 60);
    EXPECT_TRUE(kept.endsWith(QStringLiteral("line 29\n")));
    EXPECT_EQ(kept.size() % 8, 0) << "only whole lines went";
    EXPECT_EQ(Pane.RemovedChars() + Pane.EndPosition() - Pane.KeptStart(), 30 * 8);

    for (int i = 0; i < 500; ++i)
        Pane.EraseLastChar();
    EXPECT_EQ(Pane.Text(), QStringLiteral("(removed)\n"));

    for (int i = 0; i < 1000; ++i)
        Pane.AddLine();
    EXPECT_LE(Pane.EndPosition() - Pane.KeptStart(), 100);
    EXPECT_TRUE(Pane.Text().startsWith(QStringLiteral("(removed)\n")));
}

TEST_F(RichPane, ErasingWalksBackAcrossTheSplitsOneCharacterAtATime)
{
    const int length = TRichPane::MaxBlockChars + 3;
    QString line;
    for (int i = 0; i < length; ++i)
        line += QChar(u'a' + i % 26);
    Pane.AppendRun(QStringLiteral("first"), Blue);
    Pane.AddLine();
    Pane.AppendRun(line, Blue);
    ASSERT_EQ(Pane.document()->blockCount(), 3);
    const int continuation = Pane.document()->lastBlock().length() - 1;

    for (int i = 1; i <= continuation + 2; ++i) {
        Pane.EraseLastChar();
        EXPECT_EQ(Pane.Text(), QStringLiteral("first\n") + line.left(length - i));
    }
    EXPECT_EQ(Pane.document()->blockCount(), 2) << "the emptied continuation rejoined its line";
    EXPECT_FALSE(Pane.EndsWithLineBreak());
}

TEST_F(RichPane, BackspaceAtASplitErasesTheCharacterBeforeIt)
{
    Pane.setReadOnly(false);
    QString line;
    for (int i = 0; i < TRichPane::MaxBlockChars + 2; ++i)
        line += QChar(u'a' + i % 26);
    Pane.AppendRun(line, Blue);
    ASSERT_EQ(Pane.document()->blockCount(), 2);
    const int split = Pane.document()->lastBlock().position();
    QTextCursor caret = Pane.textCursor();
    caret.setPosition(split);
    Pane.setTextCursor(caret);

    QTest::keyClick(&Pane, Qt::Key_Backspace);
    line.remove(split - 2, 1); // the character before the paragraph break at split - 1
    EXPECT_EQ(Pane.Text(), line);
}

TEST_F(RichPane, ErasesACharacterOutsideTheBasicPlaneWhole)
{
    Pane.AppendRun(QString::fromUtf8("a\xF0\x9F\x98\x80"), Blue);
    Pane.EraseLastChar();
    EXPECT_EQ(Pane.Text(), QStringLiteral("a"));
}

TEST_F(RichPane, BackspaceInTheTypingPaneErasesBeforeTheCaret)
{
    Pane.setReadOnly(false);
    Pane.AppendRun(QStringLiteral("abc"), Blue);
    QTextCursor caret = Pane.textCursor();
    caret.setPosition(2);
    Pane.setTextCursor(caret);
    QTest::keyClick(&Pane, Qt::Key_Backspace);
    EXPECT_EQ(Pane.Text(), QStringLiteral("ac"));
    QTest::keyClick(&Pane, Qt::Key_Return);
    EXPECT_EQ(Pane.Text(), QStringLiteral("a\nc"));
    QTest::keyClick(&Pane, Qt::Key_Delete);
    QTest::keyClick(&Pane, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Pane.Text(), QStringLiteral("a\nc")) << "no forward erasing, no undo";
}

TEST_F(RichPane, AHeldBackRepaintIsReleased)
{
    Pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Pane));
    Pane.AppendRun(QStringLiteral("one"), Blue);
    QTRY_VERIFY_WITH_TIMEOUT(!Pane.PaintPending(), 2000);
    // A change right after a paint waits for the end of the frame (retried, in case this
    // thread was descheduled for a whole frame in between).
    for (int attempt = 0; attempt < 5 && !Pane.PaintPending(); ++attempt) {
        Pane.viewport()->repaint();
        Pane.AppendRun(QStringLiteral(" two"), Blue);
    }
    ASSERT_TRUE(Pane.PaintPending());
    Pane.ScrollToEnd();
    QTRY_VERIFY_WITH_TIMEOUT(!Pane.PaintPending(), 2000);
    EXPECT_TRUE(Pane.viewport()->updatesEnabled());
    EXPECT_EQ(Pane.textCursor().position(), Pane.document()->characterCount() - 1)
        << "the held scroll has run";
}

} // namespace
} // namespace quillet
