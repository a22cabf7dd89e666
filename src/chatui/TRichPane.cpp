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
    : TRichPane(std::make_shared<TPaneText>(), parent)
{
}

TRichPane::TRichPane(std::shared_ptr<TPaneText> text, QWidget* parent)
    : QPlainTextEdit(parent)
    , Shown(std::move(text))
{
    Show();
}

TRichPane::~TRichPane()
{
    Shown->SetChangedHandler(nullptr);
}

void TRichPane::Show()
{
    // The editor's own empty document goes; the text's belongs to the text.
    QTextDocument* doc = Shown->Document();
    setDocument(doc);
    doc->setDefaultFont(font());
    setUndoRedoEnabled(false);
    setAcceptDrops(false);
    // Tab moves between the controls; a tab character cannot be typed into a conversation by
    // accident.
    setTabChangesFocus(true);
    Shown->SetChangedHandler([this] { ContentChanged(); });
}

void TRichPane::MoveCaretToEnd()
{
    CloseBatch();
    QTextCursor caret = textCursor();
    // Text appended where the caret stands moves it along; moving it again would work out its
    // place on the line once more.
    if (!caret.hasSelection() && caret.atEnd())
        return;
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
    ScrollPending = false;
    if (textCursor().hasSelection()) {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
        return;
    }
    MoveCaretToEnd();
    ensureCursorVisible();
}

void TRichPane::ScrollToEndLater()
{
    ScrollPending = true;
    // A held paint's release scrolls; a scroll already asked for takes this one in.
    if (PaintHeld || LaterScrollPosted)
        return;
    LaterScrollPosted = true;
    QTimer::singleShot(0, this, [this] {
        LaterScrollPosted = false;
        if (ScrollPending)
            ScrollToEnd();
    });
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
        Shown->EraseBefore(caret);
        return;
    case KeyLineFeed:
    case KeyEnter:
        Shown->BreakLineAt(caret);
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
    // The editor's own key handling works on the document: all of the text goes in first.
    CloseBatch();
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
    CloseBatch();
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
    mime->setText(Shown->TextBetween(selection.selectionStart(), selection.selectionEnd()));
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
