#pragma once

#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <functional>
#include <memory>
#include <vector>

namespace quillet {

// The text of a conversation's pane (the transcript, the preview line, the typing pane), with or
// without the editor that shows it: a conversation in a tab nobody has looked at yet keeps its
// text here, and the editor is made when the tab is first shown. Text keeps a character format
// per run (face, size, weight, colour).
//
// Speed. Text is added at the end of the document without touching any cursor a user sees, and
// the changes of one pass of the event loop reach the document as one: what is appended (runs
// whose every line fits its paragraph, and line ends) is first kept as a pending tail and goes
// into the document when the pass ends, or as soon as anything reads the text or draws it, runs
// of one format in one insert. The limit is applied as the text comes (see Memory), so what it
// would take away again before the pass ends never enters the document: a peer's burst of
// thousands of short lines costs the lines that stay, not every line once in and once out.
// The document is laid out as plain text (only the paragraphs that changed, and only once they
// are shown) and no paragraph grows beyond MaxBlockChars: a longer line goes on in continuation
// paragraphs, split after a blank where there is one (where a word-wrapped line may break
// anyway), so a received character costs the layout of a few thousand characters rather than
// of the whole line, and text scrolled past is never laid out. Continuations are invisible to
// the text: Text(), copying and erasing treat them as one line. The undo history is off, so a
// long conversation does not keep a second copy of itself.
//
// Memory. The text can be given a limit (SetLimit): once it grows past it, the oldest lines go,
// down to three quarters of the limit, so that a peer sending without end costs a bounded amount
// of memory. Text that lost its start begins with a line that says so.
//
// Main thread only.
class TPaneText final {
public:
    static constexpr int MaxBlockChars = 4096;

    TPaneText();
    ~TPaneText();
    TPaneText(const TPaneText&) = delete;
    TPaneText& operator=(const TPaneText&) = delete;

    // The document holding what has gone in so far (see CloseBatch). An editor that shows it
    // holds this text as long as it does.
    QTextDocument* Document() const { return Doc.get(); }

    // At most `maxChars` characters are kept; `removedLine` (in `format`), if not empty, is the
    // first line once older text has gone. 0 is no limit.
    void SetLimit(
        int maxChars, const QString& removedLine = {}, const QTextCharFormat& format = {});
    int Limit() const { return MaxChars; }
    // Characters taken from the front so far: a position noted earlier is that much smaller now.
    qint64 RemovedChars() const { return Removed; }
    // Where the kept text starts: after the removal line, once there is one.
    int KeptStart() const;

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
    // Where the next character appended goes, as an editor's accessible text counts positions;
    // and the text from such a position on, and between two.
    int EndPosition() const;
    QString TextFrom(int position) const;
    QString TextBetween(int from, int to) const;

    // Puts what was appended since the last call into the document and lets its layout see it.
    // Changes are gathered into one until then, or until control returns to the event loop.
    // Reading the text does this first; Document() alone does not.
    void CloseBatch();
    // While CloseBatch puts the batch into the document: the document's change notices are
    // this text's own appends.
    bool ClosingBatch() const { return Closing; }

    // Runs after every change appended or erased (before it reaches the document, when it
    // waits in the tail).
    void SetChangedHandler(std::function<void()> handler) { Changed = std::move(handler); }
    // Runs once the text has been cleared.
    void SetClearedHandler(std::function<void()> handler) { Cleared = std::move(handler); }

    // What is left of a text that passed `limit`: its newest three quarters. What goes is
    // spread over a quarter of the limit's worth of new text.
    static constexpr qsizetype KeptAfterTrim(int limit) { return qsizetype(limit) * 3 / 4; }

private:
    // Appended text not yet in the document: a run (which may hold line breaks, each line fitting
    // its paragraph) or a line end (empty Text), which ends the line in the format of the text
    // before it, as a paragraph break made at the cursor does.
    struct TTailPiece {
        QString Text;
        QTextCharFormat Format;
        bool LineEnd = false;
        qsizetype Size() const { return LineEnd ? 1 : Text.size(); }
    };

    // The cursor kept for appending, made anew when it lost its document; End() also moves it
    // to the end.
    QTextCursor& EndCursorOfDocument() const;
    QTextCursor& End() const;
    // Characters of the last line as it will be once the tail is in the document.
    qsizetype LastLineLength() const;
    // True when every line of `text` fits its paragraph, the first one after what the last line
    // holds already: such a run needs no continuation paragraph and can wait in the tail.
    bool FitsParagraphs(const QString& text) const;
    void AppendToTail(TTailPiece piece);
    // Moves the tail into the document, each stretch of runs of one format with one insert.
    void CommitTail() const;
    void InsertLines(const QString& text, const QTextCharFormat& format) const;
    // Where the first line that starts at or after `position` (counted as if the tail were in the
    // document) starts; the total length when none does.
    qsizetype LineStartFrom(qsizetype position) const;
    // Takes `count` characters (whole lines) from the front of the tail.
    void DropTailFront(qsizetype count);
    void AppendLinePiece(const QString& text, const QTextCharFormat& format);
    void SplitLastBlock();
    // Starts a new paragraph at `position`: a continuation of the line, or a line of its own.
    void BreakAt(QTextCursor& cursor, int position, bool continuation) const;
    // Removes the paragraph break at `separator`; the joined paragraph keeps the first's kind.
    void JoinAt(QTextCursor& cursor, int separator);
    // Erases the character before `cursor`: a continuation's invisible break is stepped over,
    // the removal line is not erased.
    void EraseBefore(QTextCursor cursor);
    // Takes the oldest lines away while the text is over its limit.
    void TrimToLimit();
    void OpenBatch() const;
    // The last paragraph, the one text is added to, is laid out again at every change; it keeps
    // its shaped glyphs between layouts, so that placing the caret and painting it do not shape
    // it once more each. Only that paragraph keeps them: the memory is that of one line.
    void KeepGlyphsOfLastLine();
    void LetKeptGlyphsGo();
    // Asks for CloseBatch when control returns to the event loop.
    void ScheduleClose() const;
    void NoteChange() const;

    std::unique_ptr<QTextDocument> Doc;
    // The tail and the batch belong to the text as readers see it, whatever state the document
    // is in: readers that are const commit them.
    mutable QTextCursor EndCursor;
    // In the paragraph that keeps its glyphs; a cursor, so that it follows the paragraph while
    // text before it goes.
    QTextCursor GlyphsKeptAt;
    mutable std::vector<TTailPiece> Tail;
    mutable qsizetype TailChars = 0;
    mutable bool BatchOpen = false;
    bool Closing = false;
    mutable bool ClosePosted = false;
    std::function<void()> Changed;
    std::function<void()> Cleared;
    int MaxChars = 0;
    QString RemovedLine;
    QTextCharFormat RemovedFormat;
    bool HasRemovedLine = false;
    qint64 Removed = 0;
};

} // namespace quillet
