#include "chatui/TRichPane.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>

namespace quillet {
namespace {

constexpr char32_t KeyBackspace = 8;
constexpr char32_t KeyLineFeed = 10;
constexpr char32_t KeyEnter = 13;
constexpr char32_t KeyDelete = 127;

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

bool IsNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return true;
    default:
        return false;
    }
}

} // namespace

TRichPane::TRichPane(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setUndoRedoEnabled(false);
    setAcceptDrops(false);
    // Tab moves between the controls; a tab character cannot be typed into a conversation by
    // accident.
    setTabChangesFocus(true);
    // The panes are small; the document's default margin of 4 would eat the one-line panes.
    document()->setDocumentMargin(2);
    EndCursor = QTextCursor(document());
}

QTextCursor& TRichPane::End()
{
    if (EndCursor.isNull() || EndCursor.document() != document())
        EndCursor = QTextCursor(document());
    // Not movePosition(End): a move lays out the paragraph it starts from, once per insert.
    EndCursor.setPosition(document()->characterCount() - 1);
    return EndCursor;
}

void TRichPane::OpenBatch()
{
    if (BatchOpen)
        return;
    // The changes of one received chunk (a label, a run, a line break, ...) reach the layout as
    // one change: the line is laid out once instead of once per insert. The batch closes when
    // the chunk is done, and at the latest when control returns to the event loop.
    End().beginEditBlock();
    BatchOpen = true;
    QTimer::singleShot(0, this, [this] { CloseBatch(); });
}

void TRichPane::CloseBatch()
{
    if (!BatchOpen)
        return;
    BatchOpen = false;
    EndCursor.endEditBlock();
}

void TRichPane::SetLimit(int maxChars, const QString& removedLine, const QTextCharFormat& format)
{
    MaxChars = std::max(0, maxChars);
    RemovedLine = removedLine;
    RemovedFormat = format;
    TrimToLimit();
}

int TRichPane::KeptStart() const
{
    return HasRemovedLine ? static_cast<int>(RemovedLine.size()) + 1 : 0;
}

void TRichPane::TrimToLimit()
{
    QTextDocument& doc = *document();
    const int total = doc.characterCount() - 1;
    if (MaxChars <= 0 || total <= MaxChars)
        return;
    // Whole paragraphs go, from the front, until three quarters of the limit are left: the
    // cost of the removal is spread over a quarter of the limit's worth of new text.
    const int wanted = total - MaxChars * 3 / 4;
    QTextBlock cut = doc.findBlock(wanted);
    if (cut.isValid() && cut.position() < wanted)
        cut = cut.next();
    const int cutAt = cut.isValid() ? cut.position() : total;
    QTextCursor cursor(&doc);
    int shift = 0;
    if (!HasRemovedLine && !RemovedLine.isEmpty()) {
        cursor.setPosition(0);
        cursor.insertBlock();
        cursor.setPosition(0);
        cursor.insertText(RemovedLine, RemovedFormat);
        doc.firstBlock().setUserState(-1);
        doc.firstBlock().next().setUserState(-1);
        HasRemovedLine = true;
        shift = KeptStart();
    }
    const int from = KeptStart();
    const int to = std::min(cutAt + shift, doc.characterCount() - 1);
    if (to <= from)
        return;
    RemoveRange(cursor, from, to);
    // What follows the removal is where a line starts now, whatever it was before.
    doc.findBlock(from).setUserState(-1);
    Removed += to - from;
    if (EndCursor.isNull() || EndCursor.document() != &doc)
        EndCursor = QTextCursor(&doc);
}

bool TRichPane::AppendShortLines(const QString& text, const QTextCharFormat& format)
{
    // Every line must fit its paragraph; then the whole run is one insert, where a paragraph
    // break at a time would cost a separate insert (and its bookkeeping) per line.
    const QTextBlock last = document()->lastBlock();
    qsizetype room = MaxBlockChars - (last.length() - 1);
    for (qsizetype from = 0; from <= text.size();) {
        qsizetype lineEnd = text.indexOf(u'\n', from);
        if (lineEnd < 0)
            lineEnd = text.size();
        if (lineEnd - from > room)
            return false;
        room = MaxBlockChars;
        from = lineEnd + 1;
    }
    const int firstBlock = last.blockNumber();
    const int kind = last.userState();
    QString paragraphs = text;
    paragraphs.replace(u'\n', QChar::ParagraphSeparator);
    End().insertText(paragraphs, format);
    // As in BreakAt: the first paragraph keeps its kind, the new ones are lines of their own.
    for (QTextBlock block = document()->findBlockByNumber(firstBlock); block.isValid();
         block = block.next())
        block.setUserState(block.blockNumber() == firstBlock ? kind : -1);
    return true;
}

void TRichPane::AppendRun(const QString& text, const QTextCharFormat& format)
{
    OpenBatch();
    if (text.contains(u'\n') && AppendShortLines(text, format)) {
        TrimToLimit();
        ContentChanged();
        return;
    }
    qsizetype from = 0;
    while (from <= text.size()) {
        qsizetype lineEnd = text.indexOf(u'\n', from);
        if (lineEnd < 0)
            lineEnd = text.size();
        AppendLinePiece(text.mid(from, lineEnd - from), format);
        if (lineEnd == text.size())
            break;
        AddLine();
        from = lineEnd + 1;
    }
    TrimToLimit();
    ContentChanged();
}

void TRichPane::AppendLinePiece(const QString& text, const QTextCharFormat& format)
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

void TRichPane::SplitLastBlock()
{
    // After the last blank of the paragraph's final stretch: a word-wrapped line may break
    // there anyway. Asking the layout where the line wraps would lay out (and shape) every
    // paragraph of a stream as it fills, also the ones scrolled past before they are ever seen.
    const QTextBlock last = document()->lastBlock();
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
    QTextCursor cursor(document());
    BreakAt(cursor, last.position() + split, true);
}

void TRichPane::BreakAt(QTextCursor& cursor, int position, bool continuation)
{
    // Which side of a split keeps the paragraph's own data is the document's business; both
    // kinds are set explicitly.
    const int kind = document()->findBlock(position).userState();
    cursor.setPosition(position);
    cursor.insertBlock();
    cursor.block().previous().setUserState(kind);
    cursor.block().setUserState(continuation ? ContinuationState : -1);
}

void TRichPane::JoinAt(QTextCursor& cursor, int separator)
{
    const int kind = document()->findBlock(separator).userState();
    RemoveRange(cursor, separator, separator + 1);
    document()->findBlock(separator).setUserState(kind);
}

void TRichPane::AddLine()
{
    OpenBatch();
    QTextCursor& end = End();
    BreakAt(end, end.position(), false);
    // Line ends alone count too: a peer sending nothing else must not grow the pane either.
    TrimToLimit();
    ContentChanged();
}

void TRichPane::EraseLastChar()
{
    OpenBatch();
    EraseBefore(End());
    ContentChanged();
}

void TRichPane::EraseBefore(QTextCursor cursor)
{
    cursor.clearSelection();
    int pos = cursor.position();
    // The paragraph break in front of a continuation is not part of the text.
    if (pos > 0 && cursor.atBlockStart() && IsContinuation(cursor.block()))
        --pos;
    // The line saying that older text was removed is not the peer's to erase.
    if (pos <= KeptStart())
        return;
    if (document()->characterAt(pos - 1) == QChar::ParagraphSeparator) {
        JoinAt(cursor, pos - 1);
    } else {
        // A character outside the basic plane is two code units; erase it whole.
        int length = 1;
        if (pos >= 2 && document()->characterAt(pos - 1).isLowSurrogate()
            && document()->characterAt(pos - 2).isHighSurrogate())
            length = 2;
        RemoveRange(cursor, pos - length, pos);
    }

    // Continuations are never empty: an emptied one rejoins the paragraph before it, and a
    // paragraph emptied in front of a continuation takes its text back.
    const QTextBlock block = document()->findBlock(cursor.position());
    if (block.length() != 1)
        return;
    if (IsContinuation(block))
        JoinAt(cursor, block.position() - 1);
    else if (IsContinuation(block.next()))
        JoinAt(cursor, block.position());
}

QString TRichPane::TextBetween(int from, int to) const
{
    QString text;
    for (QTextBlock block = document()->findBlock(from); block.isValid() && block.position() <= to;
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

QString TRichPane::Text() const
{
    return TextBetween(0, document()->characterCount() - 1);
}

void TRichPane::ClearText()
{
    CloseBatch();
    clear();
    EndCursor = QTextCursor(document());
    HasRemovedLine = false;
}

bool TRichPane::IsEmpty() const
{
    return document()->isEmpty();
}

bool TRichPane::EndsWithLineBreak() const
{
    const QTextBlock last = document()->lastBlock();
    return IsEmpty() || (last.length() == 1 && !IsContinuation(last));
}

void TRichPane::MoveCaretToEnd()
{
    CloseBatch();
    QTextCursor caret = textCursor();
    caret.movePosition(QTextCursor::End);
    setTextCursor(caret);
}

void TRichPane::ScrollToEnd()
{
    CloseBatch();
    if (PaintHeld) {
        ScrollPending = true;
        return;
    }
    if (textCursor().hasSelection()) {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
        return;
    }
    MoveCaretToEnd();
    ensureCursorVisible();
}

void TRichPane::ScrollToCaret()
{
    CloseBatch();
    ensureCursorVisible();
}

int TRichPane::LineHeight() const
{
    return qRound(font().pointSizeF() * logicalDpiY() / 72.0);
}

void TRichPane::TypeChar(char32_t key)
{
    if (KeyPress)
        KeyPress(key);
    if (key != 0)
        DefaultKeyAction(key);
}

void TRichPane::DefaultKeyAction(char32_t key)
{
    CloseBatch();
    if (isReadOnly())
        return;
    QTextCursor caret = textCursor();
    switch (key) {
    case KeyBackspace:
    case KeyDelete:
        // One character, as the other side erases one; a selection is not erased with it.
        EraseBefore(caret);
        return;
    case KeyLineFeed:
    case KeyEnter:
        caret.clearSelection();
        BreakAt(caret, caret.position(), false);
        TrimToLimit();
        break;
    default: {
        QString text;
        const char32_t ch[1] = { key };
        text = QString::fromUcs4(ch, 1);
        caret.insertText(text);
        break;
    }
    }
    setTextCursor(caret);
}

int TRichPane::EndPosition() const
{
    return document()->characterCount() - 1;
}

QString TRichPane::TextFrom(int position) const
{
    return position >= EndPosition() ? QString() : TextBetween(position, EndPosition());
}

void TRichPane::TypeText(const QString& text)
{
    const QList<uint> points = text.toUcs4();
    for (qsizetype i = 0; i < points.size(); ++i) {
        const char32_t ch = points[i];
        if (ch == '\r' || ch == '\n') {
            // CR LF is one line break.
            if (ch == '\r' && i + 1 < points.size() && points[i + 1] == '\n')
                ++i;
            TypeChar(KeyEnter);
        } else if (ch >= 0x20 && ch != 0x7F) {
            TypeChar(ch);
        }
    }
}

void TRichPane::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll)) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        event->accept();
        TypeText(QApplication::clipboard()->text());
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool control = modifiers.testFlag(Qt::ControlModifier);
    switch (event->key()) {
    case Qt::Key_Backspace:
        event->accept();
        TypeChar(control ? KeyDelete : KeyBackspace);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        TypeChar(control ? KeyLineFeed : KeyEnter);
        return;
    case Qt::Key_Delete:
        // Erasing after the caret has no counterpart on the wire: the other side only ever
        // erases its last character.
        event->accept();
        return;
    default:
        break;
    }
    if (IsNavigationKey(event->key())) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        // Shortcuts belong to the window; editing shortcuts (cut, undo, ...) are not offered.
        event->ignore();
        return;
    }
    const QString text = event->text();
    bool typed = false;
    for (const uint ch : text.toUcs4()) {
        if (ch >= 0x20 && ch != 0x7F) {
            TypeChar(ch);
            typed = true;
        }
    }
    if (typed)
        event->accept();
    else
        event->ignore();
}

void TRichPane::inputMethodEvent(QInputMethodEvent* event)
{
    // The editor itself would insert the committed text at the caret, behind the handler's back.
    // It is left only the text being composed (its selection attributes dropped, so that
    // composing does not move the caret), and the committed text is typed.
    QList<QInputMethodEvent::Attribute> attributes;
    for (const QInputMethodEvent::Attribute& attribute : event->attributes()) {
        if (attribute.type != QInputMethodEvent::Selection)
            attributes.append(attribute);
    }
    QInputMethodEvent composing(event->preeditString(), attributes);
    QPlainTextEdit::inputMethodEvent(&composing);
    const QString committed = event->commitString();
    if (!committed.isEmpty())
        TypeText(committed);
    event->accept();
}

bool TRichPane::canInsertFromMimeData(const QMimeData* source) const
{
    return source != nullptr && source->hasText();
}

void TRichPane::insertFromMimeData(const QMimeData* source)
{
    if (source != nullptr && source->hasText())
        TypeText(source->text());
}

void TRichPane::ContentChanged()
{
    if (PaintHeld || !SinceLastPaint.isValid())
        return;
    const qint64 since = SinceLastPaint.elapsed();
    if (since >= FrameIntervalMs)
        return;
    // Painted moments ago: hold the next paint back to the end of this frame.
    PaintHeld = true;
    viewport()->setUpdatesEnabled(false);
    verticalScrollBar()->setUpdatesEnabled(false);
    QTimer::singleShot(static_cast<int>(FrameIntervalMs - since), this, [this] { ReleasePaint(); });
}

void TRichPane::ReleasePaint()
{
    PaintHeld = false;
    verticalScrollBar()->setUpdatesEnabled(true);
    viewport()->setUpdatesEnabled(true);
    if (ScrollPending) {
        ScrollPending = false;
        ScrollToEnd();
    }
}

void TRichPane::paintEvent(QPaintEvent* event)
{
    CloseBatch();
    QPlainTextEdit::paintEvent(event);
    // Measured from the end of the paint, so that a slow paint still leaves the event loop a
    // frame's time for everything else.
    SinceLastPaint.start();
}

QMimeData* TRichPane::createMimeDataFromSelection() const
{
    const QTextCursor selection = textCursor();
    auto* mime = new QMimeData;
    mime->setText(TextBetween(selection.selectionStart(), selection.selectionEnd()));
    return mime;
}

void TRichPane::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* copy = menu.addAction(QStringLiteral("&Copy"), this, &QPlainTextEdit::copy);
    copy->setEnabled(textCursor().hasSelection());
    if (KeyPress) {
        QAction* paste = menu.addAction(QStringLiteral("&Paste"), this,
            [this] { TypeText(QApplication::clipboard()->text()); });
        paste->setEnabled(!QApplication::clipboard()->text().isEmpty());
    }
    menu.addSeparator();
    menu.addAction(QStringLiteral("Select &All"), this, &QPlainTextEdit::selectAll);
    // What the pane's owner offers besides.
    if (!actions().isEmpty()) {
        menu.addSeparator();
        menu.addActions(actions());
    }
    menu.exec(event->globalPos());
}

} // namespace quillet
