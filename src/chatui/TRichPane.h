#pragma once

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextCursor>

#include <functional>

namespace quillet {

// A conversation's text pane: the transcript, the preview line and the typing pane. Text keeps
// a character format per run (face, size, weight, colour).
//
// Speed. Text is added through one cursor kept at the end of the document, a whole run of one
// format per insert, without touching the cursor the user sees, and the changes of one pass of
// the event loop reach the layout as one. The pane is a plain-text editor (its layout lays out
// only the paragraphs that changed, and only once they are shown, where the rich-text layout
// walks every paragraph on every change) and no paragraph grows beyond MaxBlockChars: a longer
// line goes on in continuation paragraphs, split after a blank where there is one (where a
// word-wrapped line may break anyway), so a received character costs the layout of a few
// thousand characters rather than of the whole line, and text scrolled past is never laid out.
// Continuations are invisible to the text: Text(), copying and erasing treat them as one line.
// The undo history is off, so a long conversation does not keep a second copy of itself. While
// text streams in, the pane repaints (and scrolls) at most once per FrameIntervalMs: the first
// change after a quiet spell shows at once, so typing is not delayed, but a burst of chunks costs
// a few frames rather than one full repaint per chunk.
//
// Memory. A pane can be given a limit (SetLimit): once its text grows past it, the oldest lines
// go, down to three quarters of the limit, so that a peer sending without end costs a bounded
// amount of memory. A pane that lost text starts with a line that says so.
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

    static constexpr int MaxBlockChars = 4096;
    static constexpr int FrameIntervalMs = 16;

    explicit TRichPane(QWidget* parent = nullptr);

    // At most `maxChars` characters are kept; `removedLine` (in `format`), if not empty, is the
    // first line once older text has gone. 0 is no limit.
    void SetLimit(
        int maxChars, const QString& removedLine = {}, const QTextCharFormat& format = {});
    int Limit() const { return MaxChars; }
    // Characters taken from the front so far: a position noted earlier is that much smaller now.
    qint64 RemovedChars() const { return Removed; }
    // Where the kept text starts: after the removal line, once there is one.
    int KeptStart() const;

    void SetKeyPressHandler(TKeyPressHandler handler) { KeyPress = std::move(handler); }

    // Delivers one character as if typed: the handler first, then the pane's own action.
    void TypeChar(char32_t key);

    // Appends `text` at the end in `format`. Line breaks in `text` start new lines.
    void AppendRun(const QString& text, const QTextCharFormat& format);
    // Ends the last line: what is appended next starts a line of its own.
    void AddLine();
    // Removes the last character (a line break counts as one).
    void EraseLastChar();
    void ClearText();

    bool IsEmpty() const;
    // Empty, or the text ends with a line break.
    bool EndsWithLineBreak() const;
    // The text with "\n" between lines.
    QString Text() const;
    // Where the next character appended goes, as the pane's accessible text counts positions;
    // and the text from such a position on.
    int EndPosition() const;
    QString TextFrom(int position) const;

    // Brings the end of the text into view. The user's caret joins it there unless the user
    // has selected something, which is left alone.
    void ScrollToEnd();
    // Brings the caret into view.
    void ScrollToCaret();
    // Moves the caret to the end of the text.
    void MoveCaretToEnd();

    // Lets the layout see the changes made since the last call. Changes are gathered into one
    // until then, or until control returns to the event loop.
    void CloseBatch();

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
    QTextCursor& End();
    void AppendLinePiece(const QString& text, const QTextCharFormat& format);
    // Appends a run of several lines with one insert when every line fits its paragraph; false
    // (and nothing appended) otherwise.
    bool AppendShortLines(const QString& text, const QTextCharFormat& format);
    void SplitLastBlock();
    // Starts a new paragraph at `position`: a continuation of the line, or a line of its own.
    void BreakAt(QTextCursor& cursor, int position, bool continuation);
    // Removes the paragraph break at `separator`; the joined paragraph keeps the first's kind.
    void JoinAt(QTextCursor& cursor, int separator);
    void EraseBefore(QTextCursor cursor);
    QString TextBetween(int from, int to) const;
    void TypeText(const QString& text);
    void DefaultKeyAction(char32_t key);

    void OpenBatch();
    void ContentChanged();
    // Takes the oldest lines away while the text is over its limit.
    void TrimToLimit();
    void ReleasePaint();

    TKeyPressHandler KeyPress;
    QTextCursor EndCursor;
    QElapsedTimer SinceLastPaint;
    bool BatchOpen = false;
    bool PaintHeld = false;
    bool ScrollPending = false;
    int MaxChars = 0;
    QString RemovedLine;
    QTextCharFormat RemovedFormat;
    bool HasRemovedLine = false;
    qint64 Removed = 0;
};

} // namespace quillet
