#include "chatui/TPaneText.h"

#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace quillet {
namespace {

// Marks a continuation paragraph: the line goes on from the paragraph before it.
constexpr int ContinuationState = 0x4C494E45;

bool IsContinuation(const QTextBlock& block)
{
    return block.isValid() && block.userState() == ContinuationState;
}

void RemoveRange(QTextCursor& cursor, int from, int to)
{
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

} // namespace

TPaneText::TPaneText()
    : Doc(std::make_unique<QTextDocument>())
{
    Doc->setDocumentLayout(new QPlainTextDocumentLayout(Doc.get()));
    Doc->setUndoRedoEnabled(false);
    // The panes are small; the document's default margin of 4 would eat the one-line panes.
    Doc->setDocumentMargin(2);
    EndCursor = QTextCursor(Doc.get());
}

TPaneText::~TPaneText() = default;

void TPaneText::NoteChange() const
{
    if (Changed)
        Changed();
}

QTextCursor& TPaneText::EndCursorOfDocument() const
{
    if (EndCursor.isNull() || EndCursor.document() != Doc.get())
        EndCursor = QTextCursor(Doc.get());
    return EndCursor;
}

QTextCursor& TPaneText::End() const
{
    EndCursorOfDocument();
    // Not movePosition(End): a move lays out the paragraph it starts from, once per insert.
    EndCursor.setPosition(Doc->characterCount() - 1);
    return EndCursor;
}

void TPaneText::ScheduleClose() const
{
    if (ClosePosted)
        return;
    ClosePosted = true;
    QTimer::singleShot(0, Doc.get(), [this] {
        ClosePosted = false;
        const_cast<TPaneText*>(this)->CloseBatch();
    });
}

void TPaneText::OpenBatch() const
{
    ScheduleClose();
    if (BatchOpen)
        return;
    // The changes of one received chunk (a label, a run, a line break, ...) reach the layout as
    // one change: the line is laid out once instead of once per insert. The batch closes when
    // the chunk is done, and at the latest when control returns to the event loop.
    // The block opens before the cursor moves: a move outside one works out the caret's place
    // on the line, which shapes the whole paragraph.
    EndCursorOfDocument().beginEditBlock();
    BatchOpen = true;
    End();
}

void TPaneText::CloseBatch()
{
    const bool outer = !std::exchange(Closing, true);
    CommitTail();
    if (BatchOpen) {
        BatchOpen = false;
        KeepGlyphsOfLastLine();
        EndCursor.endEditBlock();
    }
    if (outer)
        Closing = false;
}

void TPaneText::KeepGlyphsOfLastLine()
{
    const QTextBlock last = Doc->lastBlock();
    if (GlyphsKeptAt.isNull() || GlyphsKeptAt.block() != last) {
        LetKeptGlyphsGo();
        GlyphsKeptAt = QTextCursor(last);
        // Text appended where it stands (an empty last line) must not carry it into a later line.
        GlyphsKeptAt.setKeepPositionOnInsert(true);
    }
    // Also when it is the paragraph a removed line end joined the kept one to.
    last.layout()->setCacheEnabled(true);
}

void TPaneText::LetKeptGlyphsGo()
{
    if (GlyphsKeptAt.isNull())
        return;
    // They go with the paragraph's next layout, which a paragraph that is no longer the last
    // one gets anyway: it was changed when it got its line end.
    if (const QTextBlock kept = GlyphsKeptAt.block(); kept.isValid())
        kept.layout()->setCacheEnabled(false);
    GlyphsKeptAt = QTextCursor();
}

qsizetype TPaneText::LastLineLength() const
{
    qsizetype length = 0;
    for (auto piece = Tail.rbegin(); piece != Tail.rend(); ++piece) {
        if (piece->LineEnd)
            return length;
        const qsizetype lineBreak = piece->Text.lastIndexOf(u'\n');
        if (lineBreak >= 0)
            return length + piece->Text.size() - lineBreak - 1;
        length += piece->Text.size();
    }
    return length + Doc->lastBlock().length() - 1;
}

bool TPaneText::FitsParagraphs(const QString& text) const
{
    qsizetype room = MaxBlockChars - LastLineLength();
    for (qsizetype from = 0; from <= text.size();) {
        qsizetype lineEnd = text.indexOf(u'\n', from);
        if (lineEnd < 0)
            lineEnd = text.size();
        if (lineEnd - from > room)
            return false;
        room = MaxBlockChars;
        from = lineEnd + 1;
    }
    return true;
}

void TPaneText::AppendToTail(TTailPiece piece)
{
    TailChars += piece.Size();
    Tail.push_back(std::move(piece));
    ScheduleClose();
    TrimToLimit();
    NoteChange();
}

void TPaneText::CommitTail() const
{
    if (Tail.empty())
        return;
    OpenBatch();
    QString run;
    const QTextCharFormat* runFormat = nullptr;
    const auto flushRun = [&] {
        if (runFormat != nullptr && !run.isEmpty())
            InsertLines(run, *runFormat);
        run.clear();
        runFormat = nullptr;
    };
    for (const TTailPiece& piece : Tail) {
        if (piece.LineEnd) {
            flushRun();
            BreakAt(End(), End().position(), false);
            continue;
        }
        if (runFormat != nullptr && !(*runFormat == piece.Format))
            flushRun();
        runFormat = &piece.Format;
        run += piece.Text;
    }
    flushRun();
    Tail.clear();
    TailChars = 0;
}

void TPaneText::InsertLines(const QString& text, const QTextCharFormat& format) const
{
    QTextDocument& doc = *Doc;
    const QTextBlock last = doc.lastBlock();
    const int start = last.position();
    const int kind = last.userState();
    QString paragraphs = text;
    paragraphs.replace(u'\n', QChar::ParagraphSeparator);
    End().insertText(paragraphs, format);
    // As in BreakAt: the first paragraph keeps its kind, the new ones are lines of their own.
    const QTextBlock first = doc.findBlock(start);
    for (QTextBlock block = first; block.isValid(); block = block.next())
        block.setUserState(block == first ? kind : -1);
}

qsizetype TPaneText::LineStartFrom(qsizetype position) const
{
    const QTextDocument& doc = *Doc;
    if (position <= doc.lastBlock().position()) {
        QTextBlock cut = doc.findBlock(static_cast<int>(position));
        if (cut.position() < position)
            cut = cut.next();
        return cut.position();
    }
    qsizetype at = doc.characterCount() - 1;
    for (const TTailPiece& piece : Tail) {
        if (piece.LineEnd) {
            if (at + 1 >= position)
                return at + 1;
        } else {
            for (qsizetype lineBreak = piece.Text.indexOf(u'\n'); lineBreak >= 0;
                 lineBreak = piece.Text.indexOf(u'\n', lineBreak + 1)) {
                if (at + lineBreak + 1 >= position)
                    return at + lineBreak + 1;
            }
        }
        at += piece.Size();
    }
    return at;
}

void TPaneText::DropTailFront(qsizetype count)
{
    TailChars -= count;
    auto piece = Tail.begin();
    for (; piece != Tail.end() && count >= piece->Size(); ++piece)
        count -= piece->Size();
    if (count > 0)
        piece->Text.remove(0, count);
    Tail.erase(Tail.begin(), piece);
}

void TPaneText::SetLimit(int maxChars, const QString& removedLine, const QTextCharFormat& format)
{
    CloseBatch();
    MaxChars = std::max(0, maxChars);
    RemovedLine = removedLine;
    RemovedFormat = format;
    TrimToLimit();
}

int TPaneText::KeptStart() const
{
    return HasRemovedLine ? static_cast<int>(RemovedLine.size()) + 1 : 0;
}

void TPaneText::TrimToLimit()
{
    QTextDocument& doc = *Doc;
    const qsizetype inDocument = doc.characterCount() - 1;
    const qsizetype total = inDocument + TailChars;
    if (MaxChars <= 0 || total <= MaxChars)
        return;
    // Whole paragraphs go, from the front, until KeptAfterTrim is left. Counted as if the tail
    // were in the document already: what goes from the tail never gets there.
    const qsizetype cutAt = LineStartFrom(total - KeptAfterTrim(MaxChars));
    OpenBatch();
    QTextCursor cursor(&doc);
    int shift = 0;
    if (!HasRemovedLine && !RemovedLine.isEmpty()) {
        cursor.setPosition(0);
        // The break after the line takes the format of the text's first character, as a break
        // made in front of it does; the text may still be all in the tail.
        const bool fromTail = doc.isEmpty() && !Tail.empty() && !Tail.front().LineEnd
            && !Tail.front().Text.startsWith(u'\n');
        cursor.insertBlock(
            cursor.blockFormat(), fromTail ? Tail.front().Format : cursor.charFormat());
        cursor.setPosition(0);
        cursor.insertText(RemovedLine, RemovedFormat);
        doc.firstBlock().setUserState(-1);
        doc.firstBlock().next().setUserState(-1);
        HasRemovedLine = true;
        shift = KeptStart();
    }
    const int from = KeptStart();
    const int to = static_cast<int>(std::min<qsizetype>(cutAt, inDocument)) + shift;
    if (cutAt > inDocument)
        DropTailFront(cutAt - inDocument);
    if (to > from)
        RemoveRange(cursor, from, to);
    if (cutAt + shift <= from)
        return;
    // What follows the removal is where a line starts now, whatever it was before.
    doc.findBlock(from).setUserState(-1);
    Removed += cutAt + shift - from;
    EndCursorOfDocument();
}

void TPaneText::AppendRun(const QString& text, const QTextCharFormat& format)
{
    if (text.isEmpty())
        return;
    // Lines that fit their paragraphs wait in the tail, to go in with the rest of the pass.
    if (FitsParagraphs(text)) {
        AppendToTail({ text, format, false });
        return;
    }
    // A long line is split into continuation paragraphs as it goes in.
    CommitTail();
    OpenBatch();
    qsizetype from = 0;
    while (from <= text.size()) {
        qsizetype lineEnd = text.indexOf(u'\n', from);
        if (lineEnd < 0)
            lineEnd = text.size();
        AppendLinePiece(text.mid(from, lineEnd - from), format);
        if (lineEnd == text.size())
            break;
        BreakAt(End(), End().position(), false);
        TrimToLimit();
        from = lineEnd + 1;
    }
    TrimToLimit();
    NoteChange();
}

void TPaneText::AppendLinePiece(const QString& text, const QTextCharFormat& format)
{
    qsizetype at = 0;
    while (at < text.size()) {
        QTextCursor& end = End();
        const int room = MaxBlockChars - (end.block().length() - 1);
        if (room <= 0) {
            SplitLastBlock();
            continue;
        }
        qsizetype take = std::min<qsizetype>(room, text.size() - at);
        // Never part a surrogate pair; a paragraph may run one code unit over for it.
        if (at + take < text.size() && text[at + take - 1].isHighSurrogate())
            take = take > 1 ? take - 1 : 2;
        end.insertText(text.mid(at, take), format);
        at += take;
    }
}

void TPaneText::SplitLastBlock()
{
    // After the last blank of the paragraph's final stretch: a word-wrapped line may break
    // there anyway. Asking the layout where the line wraps would lay out (and shape) every
    // paragraph of a stream as it fills, also the ones scrolled past before they are ever seen.
    const QTextBlock last = Doc->lastBlock();
    const int length = last.length() - 1;
    constexpr int Lookback = 256;
    const QString text = last.text();
    int split = length;
    for (int i = length - 1; i > 0 && i >= length - Lookback; --i) {
        if (text[i] == u' ' || text[i] == u'\t') {
            split = i + 1;
            break;
        }
    }
    QTextCursor cursor(Doc.get());
    BreakAt(cursor, last.position() + split, true);
}

void TPaneText::BreakAt(QTextCursor& cursor, int position, bool continuation) const
{
    // Which side of a split keeps the paragraph's own data is the document's business; both
    // kinds are set explicitly.
    const int kind = Doc->findBlock(position).userState();
    cursor.setPosition(position);
    cursor.insertBlock();
    cursor.block().previous().setUserState(kind);
    cursor.block().setUserState(continuation ? ContinuationState : -1);
}

void TPaneText::JoinAt(QTextCursor& cursor, int separator)
{
    const int kind = Doc->findBlock(separator).userState();
    RemoveRange(cursor, separator, separator + 1);
    Doc->findBlock(separator).setUserState(kind);
}

void TPaneText::AddLine()
{
    // Line ends alone count towards the limit too: a peer sending nothing else must not grow
    // the pane either.
    AppendToTail({ QString(), QTextCharFormat(), true });
}

void TPaneText::EraseLastChar()
{
    CommitTail();
    OpenBatch();
    EraseBefore(End());
    NoteChange();
}

void TPaneText::EraseBefore(QTextCursor cursor)
{
    cursor.clearSelection();
    int pos = cursor.position();
    // The paragraph break in front of a continuation is not part of the text.
    if (pos > 0 && cursor.atBlockStart() && IsContinuation(cursor.block()))
        --pos;
    // The line saying that older text was removed is not the peer's to erase.
    if (pos <= KeptStart())
        return;
    if (Doc->characterAt(pos - 1) == QChar::ParagraphSeparator) {
        JoinAt(cursor, pos - 1);
    } else {
        // A character outside the basic plane is two code units; erase it whole.
        int length = 1;
        if (pos >= 2 && Doc->characterAt(pos - 1).isLowSurrogate()
            && Doc->characterAt(pos - 2).isHighSurrogate())
            length = 2;
        RemoveRange(cursor, pos - length, pos);
    }

    // Continuations are never empty: an emptied one rejoins the paragraph before it, and a
    // paragraph emptied in front of a continuation takes its text back.
    const QTextBlock block = Doc->findBlock(cursor.position());
    if (block.length() != 1)
        return;
    if (IsContinuation(block))
        JoinAt(cursor, block.position() - 1);
    else if (IsContinuation(block.next()))
        JoinAt(cursor, block.position());
}

QString TPaneText::TextBetween(int from, int to) const
{
    QString text;
    for (QTextBlock block = Doc->findBlock(from); block.isValid() && block.position() <= to;
         block = block.next()) {
        const int start = block.position();
        const int end = start + block.length() - 1;
        const int separator = start - 1;
        if (separator >= from && separator < to && !IsContinuation(block))
            text += u'\n';
        const int a = std::max(from, start);
        const int b = std::min(to, end);
        if (b > a)
            text += block.text().mid(a - start, b - a);
    }
    return text;
}

QString TPaneText::Text() const
{
    CommitTail();
    return TextBetween(0, Doc->characterCount() - 1);
}

void TPaneText::ClearText()
{
    Tail.clear();
    TailChars = 0;
    CloseBatch();
    Doc->clear();
    EndCursor = QTextCursor(Doc.get());
    HasRemovedLine = false;
    if (Cleared)
        Cleared();
}

bool TPaneText::IsEmpty() const
{
    return Tail.empty() && Doc->isEmpty();
}

bool TPaneText::EndsWithLineBreak() const
{
    if (!Tail.empty())
        return Tail.back().LineEnd || Tail.back().Text.endsWith(u'\n');
    const QTextBlock last = Doc->lastBlock();
    return IsEmpty() || (last.length() == 1 && !IsContinuation(last));
}

int TPaneText::EndPosition() const
{
    return Doc->characterCount() - 1 + static_cast<int>(TailChars);
}

QString TPaneText::TextFrom(int position) const
{
    CommitTail();
    return position >= EndPosition() ? QString() : TextBetween(position, EndPosition());
}

} // namespace quillet
