#include "chatui/TRichPane.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
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
    Shown->SetClearedHandler(nullptr);
}

void TRichPane::Show()
{
    // The editor's own empty document goes; the text's belongs to the text, undo history and
    // all.
    QTextDocument* doc = Shown->Document();
    const bool undo = doc->isUndoRedoEnabled();
    setDocument(doc);
    doc->setUndoRedoEnabled(undo);
    doc->setDefaultFont(font());
    setAcceptDrops(false);
    // Tab moves between the controls; a tab character cannot be typed into a conversation by
    // accident.
    setTabChangesFocus(true);
    Shown->SetChangedHandler([this] { ContentChanged(); });
    // A cleared document leaves the editor's cursor behind, pointing into text that is gone.
    Shown->SetClearedHandler([this] {
        setTextCursor(QTextCursor(document()));
        ApplyWordWrap();
    });
    QObject::connect(verticalScrollBar(), &QScrollBar::rangeChanged, this,
        [this](int, int maximum) { KeepALineInView(maximum); });
}

void TRichPane::KeepALineInView(int maximum)
{
    // The editor lets a viewport shorter than a line scroll one line past the last, which then
    // shows nothing.
    const int lastLine = std::max(0, document()->lineCount() - 1);
    if (maximum > lastLine)
        verticalScrollBar()->setMaximum(lastLine);
}

void TRichPane::SetWordWrap(bool wrap)
{
    WordWrap = wrap;
    ApplyWordWrap();
}

void TRichPane::ApplyWordWrap()
{
    if (!WordWrap)
        return;
    bool wrap = *WordWrap;
    for (QTextBlock block = document()->begin(); !wrap && block.isValid(); block = block.next())
        wrap = block.length() - 1 > MaxBlockChars;
    const LineWrapMode mode = wrap ? WidgetWidth : NoWrap;
    if (lineWrapMode() != mode)
        setLineWrapMode(mode);
}

void TRichPane::SetEditing(IPaneEditing* editing)
{
    if (Editing == nullptr && editing != nullptr) {
        QObject::connect(document(), &QTextDocument::contentsChanged, this, [this] {
            // The text's own appends (an edit's typed key, put in later) are the editing's.
            if (!InEditing && !Shown->ClosingBatch())
                ChangedBehindEditing = true;
        });
    }
    Editing = editing;
    setAcceptDrops(editing != nullptr);
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

void TRichPane::ScrollToCaret()
{
    CloseBatch();
    ensureCursorVisible();
    // In a pane shorter than a line the editor may leave the line of a wrapped paragraph that
    // holds the caret out of view: that line becomes the top one.
    if (viewport()->rect().contains(cursorRect().center()))
        return;
    const QTextCursor caret = textCursor();
    const QTextBlock block = caret.block();
    int line = 0;
    for (QTextBlock before = document()->begin(); before != block; before = before.next())
        line += std::max(1, before.lineCount());
    if (const QTextLayout* layout = block.layout(); layout != nullptr && layout->lineCount() > 0)
        line += layout->lineForTextPosition(caret.positionInBlock()).lineNumber();
    verticalScrollBar()->setValue(line);
}

void TRichPane::ScrollToCaretLater()
{
    if (CaretScrollPosted)
        return;
    CaretScrollPosted = true;
    QTimer::singleShot(0, this, [this] {
        CaretScrollPosted = false;
        ScrollToCaret();
    });
}

int TRichPane::LineHeight() const
{
    return qRound(font().pointSizeF() * logicalDpiY() / 72.0);
}

void TRichPane::Edit(const std::function<void(IPaneEditing&)>& edit)
{
    CloseBatch();
    // The editing's own changes are not news to it.
    const bool outer = !std::exchange(InEditing, true);
    edit(*Editing);
    if (outer)
        InEditing = false;
    ApplyWordWrap();
    ScrollToCaretLater();
}

void TRichPane::TypeChar(char32_t key)
{
    if (Editing == nullptr) {
        if (TRichPane* target = Target ? Target() : nullptr)
            target->TypeChar(key);
        return;
    }
    switch (key) {
    case KeyBackspace:
    case KeyDelete:
        Edit([this](IPaneEditing& editing) { editing.Erase(*this, false); });
        return;
    case KeyLineFeed:
    case KeyEnter:
        Edit([this](IPaneEditing& editing) { editing.LineEnd(*this); });
        return;
    default: {
        const char32_t ch[1] = { key };
        TypeText(QString::fromUcs4(ch, 1));
        return;
    }
    }
}

void TRichPane::TypeText(const QString& text)
{
    if (Editing == nullptr) {
        if (TRichPane* target = Target ? Target() : nullptr)
            target->TypeText(text);
        return;
    }
    Edit([this, &text](IPaneEditing& editing) { editing.Insert(*this, text); });
}

bool TRichPane::EditKey(QKeyEvent& event)
{
    const auto edit = [this, &event](const std::function<void(IPaneEditing&)>& action) {
        event.accept();
        Edit(action);
        return true;
    };
    if (event.matches(QKeySequence::Cut)) {
        if (!textCursor().hasSelection())
            return false;
        copy();
        return edit([this](IPaneEditing& editing) { editing.Erase(*this, false); });
    }
    if (event.matches(QKeySequence::Undo))
        return edit([this](IPaneEditing& editing) { editing.Undo(*this); });
    if (event.matches(QKeySequence::Redo))
        return edit([this](IPaneEditing& editing) { editing.Redo(*this); });
    if (event.key() == Qt::Key_Delete && event.modifiers() == Qt::NoModifier)
        return edit([this](IPaneEditing& editing) { editing.Erase(*this, true); });
    return false;
}

bool TRichPane::WatchingEdits(const std::function<bool()>& handle)
{
    if (Editing == nullptr || InEvent)
        return handle();
    // What the user does next (a click, a drag, a drop) goes by the text with the typed keys in.
    CloseBatch();
    InEvent = true;
    ChangedBehindEditing = false;
    const bool handled = handle();
    InEvent = false;
    if (std::exchange(ChangedBehindEditing, false) && Editing != nullptr)
        Edit([this](IPaneEditing& editing) { editing.ChangedByPane(*this); });
    return handled;
}

bool TRichPane::event(QEvent* event)
{
    return WatchingEdits([this, event] { return QPlainTextEdit::event(event); });
}

bool TRichPane::viewportEvent(QEvent* event)
{
    return WatchingEdits([this, event] { return QPlainTextEdit::viewportEvent(event); });
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
    if (Editing != nullptr && EditKey(*event))
        return;
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
        // Shortcuts belong to the window.
        event->ignore();
        return;
    }
    QString typed = event->text();
    typed.removeIf([](QChar ch) { return ch.unicode() < 0x20 || ch.unicode() == 0x7F; });
    if (typed.isEmpty()) {
        event->ignore();
        return;
    }
    event->accept();
    TypeText(typed);
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

void TRichPane::dropEvent(QDropEvent* event)
{
    if (Editing == nullptr || !event->mimeData()->hasText()) {
        QPlainTextEdit::dropEvent(event);
        return;
    }
    // The editor's own drop would edit the text behind the editing's back. Its drop caret goes.
    QDragLeaveEvent leave;
    QPlainTextEdit::dragLeaveEvent(&leave);
    const int position = cursorForPosition(event->position().toPoint()).position();
    // Dragged from this pane (its viewport starts the drag): a move, unless copying was asked.
    const bool moved = event->source() == viewport() && event->dropAction() == Qt::MoveAction;
    const QString text = event->mimeData()->text();
    Edit([&](IPaneEditing& editing) { editing.Drop(*this, position, moved, text); });
    event->acceptProposedAction();
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
    const bool editable = Editing != nullptr && !isReadOnly();
    const bool selection = textCursor().hasSelection();
    const auto editAction = [&](const QString& text, bool enabled, auto action) {
        menu.addAction(text, this, [this, action] { Edit(action); })->setEnabled(enabled);
    };
    if (editable) {
        editAction(QStringLiteral("&Undo"), document()->isUndoAvailable(),
            [this](IPaneEditing& editing) { editing.Undo(*this); });
        editAction(QStringLiteral("&Redo"), document()->isRedoAvailable(),
            [this](IPaneEditing& editing) { editing.Redo(*this); });
        menu.addSeparator();
        menu.addAction(QStringLiteral("Cu&t"), this,
                [this] {
                    copy();
                    Edit([this](IPaneEditing& editing) { editing.Erase(*this, false); });
                })
            ->setEnabled(selection);
    }
    menu.addAction(QStringLiteral("&Copy"), this, &QPlainTextEdit::copy)->setEnabled(selection);
    if (editable || Target) {
        QAction* paste = menu.addAction(QStringLiteral("&Paste"), this,
            [this] { TypeText(QApplication::clipboard()->text()); });
        paste->setEnabled(!QApplication::clipboard()->text().isEmpty());
    }
    if (editable) {
        editAction(QStringLiteral("&Delete"), selection,
            [this](IPaneEditing& editing) { editing.Erase(*this, false); });
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
