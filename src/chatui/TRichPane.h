#pragma once

#include "chatui/TPaneText.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>

#include <functional>
#include <memory>

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
// Keys. The pane turns the keys that produce characters into typed characters (Backspace is 8,
// Ctrl+Backspace 127, Enter 13, Ctrl+Enter 10) and hands each to its key-press handler, which
// may consume it by setting it to 0; what is left the pane handles itself: 8 and 127 erase the
// character before the caret, 10 and 13 break the line. Copying, selecting and moving the caret
// work as usual. Editing that would change the text behind the handler's back (cut, undo, the
// Delete key, dropping text) is not offered; pasting types the pasted characters, and so do the
// characters an input method commits (dead keys, compose sequences, input methods for other
// scripts). What an input method is still composing shows at the caret but is not typed. The
// pane's menu offers Copy, Paste (where keys are handled) and Select All, then the actions added
// to the pane.
class TRichPane final : public QPlainTextEdit {
public:
    // Handler for one typed character; set the character to 0 to consume it.
    using TKeyPressHandler = std::function<void(char32_t& key)>;

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

    void SetKeyPressHandler(TKeyPressHandler handler) { KeyPress = std::move(handler); }

    // Delivers one character as if typed: the handler first, then the pane's own action.
    void TypeChar(char32_t key);

    // Brings the end of the text into view. The user's caret joins it there unless the user
    // has selected something, which is left alone.
    void ScrollToEnd();
    // The same once control is back in the event loop: a typed key's handler returns once the
    // key is sent, and the keys of one pass (a paste, an input method's word) are laid out and
    // scrolled to once.
    void ScrollToEndLater();
    // Brings the caret into view.
    void ScrollToCaret();
    // Moves the caret to the end of the text.
    void MoveCaretToEnd();

    // A repaint is held back to the end of the current frame.
    bool PaintPending() const { return PaintHeld; }

    // The height of a line of the pane's own font in pixels: its point size at the screen's
    // resolution.
    int LineHeight() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Show();
    void TypeText(const QString& text);
    void DefaultKeyAction(char32_t key);
    void ContentChanged();
    void ReleasePaint();

    std::shared_ptr<TPaneText> Shown;
    TKeyPressHandler KeyPress;
    QElapsedTimer SinceLastPaint;
    bool PaintHeld = false;
    bool ScrollPending = false;
    bool LaterScrollPosted = false;
};

} // namespace quillet
