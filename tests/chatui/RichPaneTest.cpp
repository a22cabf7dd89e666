#include "chatui/TRichPane.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

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

// The paragraphs before the last that keep their shaped glyphs from one layout to the next. None
// may: only the last is laid out again at every key, and a long conversation would keep glyphs
// for all its text.
std::vector<int> EarlierBlocksKeepingGlyphs(const TRichPane& pane)
{
    std::vector<int> kept;
    const QTextDocument& document = *pane.document();
    for (QTextBlock block = document.begin(); block != document.lastBlock(); block = block.next()) {
        if (block.layout()->cacheEnabled())
            kept.push_back(block.blockNumber());
    }
    return kept;
}

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

TEST_F(RichPane, ErasesACharacterOutsideTheBasicPlaneWhole)
{
    Pane.AppendRun(QString::fromUtf8("a\xF0\x9F\x98\x80"), Blue);
    Pane.EraseLastChar();
    EXPECT_EQ(Pane.Text(), QStringLiteral("a"));
}

// Everything the document holds that shows: per paragraph whether it continues a line, the
// format its line end gives an empty line, and each run of text with its format.
std::string Dump(const TRichPane& pane)
{
    const auto format = [](const QTextCharFormat& f) {
        return QStringLiteral("{%1 %2 %3 %4}")
            .arg(f.fontFamilies().toStringList().join(u','))
            .arg(f.fontPointSize())
            .arg(f.fontWeight())
            .arg(f.foreground().color().name());
    };
    QString out;
    for (QTextBlock block = pane.document()->begin(); block.isValid(); block = block.next()) {
        out += QStringLiteral("\n[%1 %2]").arg(block.userState()).arg(format(block.charFormat()));
        for (auto piece = block.begin(); !piece.atEnd(); ++piece)
            out += format(piece.fragment().charFormat()) + piece.fragment().text();
    }
    return out.toStdString();
}

// What a test appends to a pane: with EachAtOnce every append goes into the document before the
// next, otherwise appends wait in the pane's tail until a pass ends.
struct TFeed {
    TRichPane& Pane;
    bool EachAtOnce;

    void Run(const QString& text, const QTextCharFormat& format)
    {
        Pane.AppendRun(text, format);
        Done();
    }
    void Line()
    {
        Pane.AddLine();
        Done();
    }
    void Erase()
    {
        Pane.EraseLastChar();
        Done();
    }
    void PassEnds() { Pane.CloseBatch(); }
    void Done()
    {
        if (EachAtOnce)
            Pane.CloseBatch();
    }
};

// The pane keeps what a pass appends in its tail and applies its limit as the text comes, so
// that what the limit takes away again never enters the document. The document must come out
// exactly as it does when every append goes in at once: text, formats, paragraphs, the line
// saying that older text was removed, and the count of removed characters.
TEST_F(RichPane, AppendsOfOnePassGiveTheDocumentOfAppendsMadeOneByOne)
{
    QTextCharFormat notice;
    notice.setFontFamilies({ QStringLiteral("Arial") });
    notice.setFontPointSize(11);
    notice.setFontWeight(QFont::Bold);
    notice.setForeground(QColor(0x80, 0, 0));
    QTextCharFormat label = notice;
    label.setForeground(QColor(0, 0, 0x80));
    QTextCharFormat plain;
    plain.setForeground(Qt::black);
    const QString longLine = QString(TRichPane::MaxBlockChars + 700, u'x') + QStringLiteral(" end");

    const auto notices = [&](int count) {
        return [&, count](TFeed& feed) {
            feed.Run(QStringLiteral("hello"), Blue);
            feed.Line();
            for (int i = 0; i < count; ++i)
                feed.Run(QStringLiteral("\n*** Changed to STYLE %1 ***\n\n").arg(i % 3), notice);
        };
    };
    QString rows50;
    for (int i = 0; i < 50; ++i)
        rows50 += QStringLiteral("row %1\n").arg(i, 2, 10, QLatin1Char('0'));
    struct TRow {
        const char* Name;
        int Limit;
        std::function<void(TFeed&)> Appends;
        QString Expected; // the text, where the row says it
    };
    const TRow rows[] = {
        { "a burst of notices many times the limit", 1000, notices(400), {} },
        { "the same without a limit", 0, notices(400), {} },
        { "notices that just reach the limit", 40 * 24 + 5, notices(24), {} },
        { "line ends alone", 50,
            [&](TFeed& feed) {
                feed.Run(QStringLiteral("first"), label);
                feed.PassEnds();
                for (int i = 0; i < 300; ++i)
                    feed.Line();
            },
            {} },
        { "an empty line first after the cut", 60,
            [&](TFeed& feed) {
                for (int i = 0; i < 40; ++i) {
                    feed.Run(QStringLiteral("line %1\n").arg(i), i % 2 == 0 ? notice : Blue);
                    feed.Line();
                }
            },
            {} },
        // 350 characters, three quarters of the limit are 84: the cut falls exactly where
        // row 38 starts.
        { "one run longer than the limit", 112, [&](TFeed& feed) { feed.Run(rows50, label); },
            QStringLiteral("*** Earlier text was removed ***\n") + rows50.mid(38 * 7) },
        { "mixed lines, erasures, a long line and passes", 3000,
            [&](TFeed& feed) {
                std::mt19937 random(20);
                for (int i = 0; i < 600; ++i) {
                    switch (random() % 8) {
                    case 0:
                        feed.Run(QStringLiteral("Bob: "), label);
                        feed.Run(QStringLiteral("see you at eight"), Blue);
                        feed.Line();
                        break;
                    case 1:
                        feed.Run(QStringLiteral("\n*** Changed to IM Chat style ***\n\n"), notice);
                        break;
                    case 2:
                        feed.Erase();
                        break;
                    case 3:
                        feed.Run(QStringLiteral("typed "), Blue);
                        break;
                    case 4:
                        feed.Line();
                        break;
                    case 5:
                        if (random() % 10 == 0)
                            feed.Run(longLine, Blue);
                        break;
                    case 6:
                        feed.PassEnds();
                        break;
                    default:
                        feed.Run(QStringLiteral("two\nlines"), plain);
                        break;
                    }
                }
            },
            {} },
    };
    for (const TRow& row : rows) {
        TRichPane oneByOne;
        TRichPane batched;
        for (TRichPane* pane : { &oneByOne, &batched })
            pane->SetLimit(row.Limit, QStringLiteral("*** Earlier text was removed ***"), plain);
        TFeed each { oneByOne, true };
        TFeed pass { batched, false };
        row.Appends(each);
        row.Appends(pass);
        EXPECT_EQ(batched.EndPosition(), oneByOne.EndPosition()) << row.Name;
        batched.CloseBatch();
        EXPECT_EQ(Dump(batched), Dump(oneByOne)) << row.Name;
        EXPECT_EQ(batched.RemovedChars(), oneByOne.RemovedChars()) << row.Name;
        EXPECT_EQ(batched.Text(), oneByOne.Text()) << row.Name;
        for (const TRichPane* pane : { &oneByOne, &batched })
            EXPECT_EQ(EarlierBlocksKeepingGlyphs(*pane), std::vector<int> {}) << row.Name;
        if (!row.Expected.isEmpty()) {
            EXPECT_EQ(batched.Text(), row.Expected) << row.Name;
        }
        if (row.Limit > 0) {
            EXPECT_LE(batched.EndPosition() - batched.KeptStart(), row.Limit) << row.Name;
        }
    }
}

// A scroll asked for later (an edit's) waits for the event loop: the edit does not lay the pane
// out, and the edits of one pass are scrolled to once.
TEST_F(RichPane, AScrollAskedForLaterWaitsForTheEventLoop)
{
    Pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Pane));
    for (int i = 0; i < 50; ++i)
        Pane.AppendRun(QStringLiteral("line %1\n").arg(i), Blue);
    Pane.CloseBatch();
    QScrollBar& bar = *Pane.verticalScrollBar();
    bar.setValue(0);
    ASSERT_GT(bar.maximum(), 0);

    int seenByWorkQueuedBefore = -1;
    QMetaObject::invokeMethod(
        &Pane, [&] { seenByWorkQueuedBefore = bar.value(); }, Qt::QueuedConnection);
    Pane.ScrollToCaretLater();
    Pane.AppendRun(QStringLiteral("one more\n"), Blue);
    Pane.ScrollToCaretLater();
    EXPECT_EQ(bar.value(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(bar.value(), bar.maximum(), 2000);
    EXPECT_EQ(seenByWorkQueuedBefore, 0);
    EXPECT_TRUE(Pane.Text().endsWith(QStringLiteral("one more\n")));
}

// A pane one line high, as the typing pane and the preview line are: scrolled to its end with a
// selection in it, or by its scroll bar, it still shows its line.
TEST_F(RichPane, AOneLinePaneKeepsItsLineInView)
{
    Pane.setLineWrapMode(QPlainTextEdit::NoWrap);
    Pane.resize(300, Pane.fontMetrics().lineSpacing());
    Pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Pane));
    Pane.AppendRun(QStringLiteral("more"), Blue);
    Pane.selectAll();
    Pane.ScrollToEnd();
    EXPECT_EQ(Pane.verticalScrollBar()->value(), 0);
    Pane.verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(Pane.verticalScrollBar()->value(), 0);
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
