#pragma once

#include "chatui/PaneEditing.h"
#include "chatui/TPaneText.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>

#include <functional>
#include <memory>
#include <optional>

namespace quillet {

// A conversation's text pane: the editor showing the transcript, the preview line or the typing
// pane, whose text (TPaneText) it shows. The text can come before the editor: a conversation in
// a tab nobody has looked at keeps it without one.
//
// Speed. While text streams in, the pane repaints (and scrolls) at most once per
// FrameIntervalMs: the first change after a quiet spell shows at once, so typing is not delayed,
// but a burst of chunks costs a few frames rather than one full repaint per chunk. What the text
// keeps in its tail goes into the document before the pane is drawn.
//
// Keys. In a pane the user types into (SetEditing), every edit (typed keys, Backspace and
// Delete over the selection or beside the cursor, Enter, cut, paste, undo and redo, dropped
// text, what an input method commits) goes to the editing, which applies it to the text; a
// change the editor makes by itself (a selection dragged into another program leaves the pane)
// is reported to it afterwards. Any other pane is read-only: what is typed or pasted there, and
// what an input method commits, goes to its typing target (SetTypingTarget) as if typed there
// (Backspace is 8, Ctrl+Backspace 127, Enter 13, Ctrl+Enter 10; a paste as one text). Copying,
// selecting and moving the cursor work as usual. What an input method is still composing shows
// at the cursor but is not typed. The pane's menu offers the edits, Copy and Select All, then
// the actions added to the pane.
class TRichPane final : public QPlainTextEdit {
public:
    // The pane that takes what is typed into this one, or null when none does now.
    using TTypingTarget = std::function<TRichPane*()>;

    static constexpr int MaxBlockChars = TPaneText::MaxBlockChars;
    static constexpr int FrameIntervalMs = 16;

    // A pane with a text of its own.
    explicit TRichPane(QWidget* parent = nullptr);
    // A pane showing `text`, which it keeps as long as it lives.
    TRichPane(std::shared_ptr<TPaneText> text, QWidget* parent);
    ~TRichPane() override;

    TPaneText& Content() const { return *Shown; }

    // The text's operations (TPaneText), for the text this pane shows.
    void SetLimit(int maxChars, const QString& removedLine = {}, const QTextCharFormat& format = {})
    {
        Shown->SetLimit(maxChars, removedLine, format);
    }
    int Limit() const { return Shown->Limit(); }
    qint64 RemovedChars() const { return Shown->RemovedChars(); }
    int KeptStart() const { return Shown->KeptStart(); }
    void AppendRun(const QString& text, const QTextCharFormat& format)
    {
        Shown->AppendRun(text, format);
    }
    void AddLine() { Shown->AddLine(); }
    void EraseLastChar() { Shown->EraseLastChar(); }
    void ClearText() { Shown->ClearText(); }
    bool IsEmpty() const { return Shown->IsEmpty(); }
    bool EndsWithLineBreak() const { return Shown->EndsWithLineBreak(); }
    QString Text() const { return Shown->Text(); }
    int EndPosition() const { return Shown->EndPosition(); }
    QString TextFrom(int position) const { return Shown->TextFrom(position); }
    void CloseBatch() { Shown->CloseBatch(); }

    // The user edits this pane's text through `editing` (null: the pane is read-only).
    void SetEditing(IPaneEditing* editing);
    IPaneEditing* Editor() const { return Editing; }
    void SetTypingTarget(TTypingTarget target) { Target = std::move(target); }

    // Delivers one character, or a text, as if typed (to the typing target, unless the pane
    // takes edits itself).
    void TypeChar(char32_t key);
    void TypeText(const QString& text);

    // Brings the end of the text into view. The user's caret joins it there unless the user
    // has selected something, which is left alone.
    void ScrollToEnd();
    // Brings the caret into view.
    void ScrollToCaret();
    // The same once control is back in the event loop: an edit returns once it is sent, and the
    // edits of one pass are laid out and scrolled to once.
    void ScrollToCaretLater();
    // Moves the caret to the end of the text.
    void MoveCaretToEnd();

    // Whether lines wrap at the pane's width. Without it a line scrolls sideways, unless it is
    // longer than MaxBlockChars: painting a line (at every blink of the cursor) costs all of its
    // glyphs however little of it shows, so such a line wraps.
    void SetWordWrap(bool wrap);

    // A repaint is held back to the end of the current frame.
    bool PaintPending() const { return PaintHeld; }

    // The height of a line of the pane's own font in pixels: its point size at the screen's
    // resolution.
    int LineHeight() const;

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    void dropEvent(QDropEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Show();
    // Hands one edit to the editing, then scrolls to the cursor once the pass is over.
    void Edit(const std::function<void(IPaneEditing&)>& edit);
    // An edit key of a pane that takes edits; false for any other key.
    bool EditKey(QKeyEvent& event);
    // Runs the pane's own handling of an event, and reports a change it made to the text.
    bool WatchingEdits(const std::function<bool()>& handle);
    void ContentChanged();
    void ReleasePaint();
    // A pane one line high would otherwise scroll its only line away.
    void KeepALineInView(int maximum);
    void ApplyWordWrap();

    std::shared_ptr<TPaneText> Shown;
    IPaneEditing* Editing = nullptr;
    TTypingTarget Target;
    QElapsedTimer SinceLastPaint;
    bool PaintHeld = false;
    bool ScrollPending = false;
    bool CaretScrollPosted = false;
    bool InEditing = false;
    bool InEvent = false;
    bool ChangedBehindEditing = false;
    // Set once SetWordWrap took the wrapping over.
    std::optional<bool> WordWrap;
};

} // namespace quillet
