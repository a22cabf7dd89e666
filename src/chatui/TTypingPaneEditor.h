#pragma once

#include "chatui/PaneEditing.h"
#include "net/ChatStyle.h"

#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>

#include <functional>
#include <optional>

namespace quillet {

class IConversationInput;
class TPaneText;

// The typing pane's editing: what the user's keys, pastes, drops, input methods and undo do to
// the pane's text, and how every change reaches the other side.
//
// The pane edits as any text field does: at the cursor, over a selection, with undo and redo.
// After each edit the pane's whole text goes to the conversation (TypingPaneChanged), which
// sends what turns the other side's copy into it, so both ends always show the same text.
// Text goes in as it will go out: each character as the one the other side receives for it
// (Windows-1252 holds it, or a stand-in does), control characters left out.
//
// Line breaks. In Realtime they are part of the text. IM and IM with preview send whole lines,
// and the other side's preview line ends where the line is sent, so there a line break that
// comes into the pane (a pasted one, Ctrl+Enter) sends the line as Enter does.
//
// The limit. Once the text passes the pane's limit (TPaneText::Limit), its oldest characters
// go, down to TPaneText::KeptAfterTrim. A paste or drop longer than the limit is cut to what
// that rule would keep of it before it goes in, so a megabyte from the clipboard costs what
// its kept part costs. Undo never brings back what the limit took: the history starts anew.
//
// Main thread only.
class TTypingPaneEditor final : public IPaneEditing {
public:
    struct THooks {
        // Before every edit, inside the user's action: brings the tab up to date with what was
        // received. The style the edit goes by, or nothing when the pane takes no edits (the
        // conversation does not stand).
        std::function<std::optional<TChatStyle>()> Prepare;
        // Enter in IM and IM with preview: `line` (the pane's, or one of a paste's that never
        // was in the pane) is the user's line, and the pane is emptied.
        std::function<void(const QString& line)> SendLine;
    };

    // `text` is the typing pane's text; `format` that of typed text.
    TTypingPaneEditor(
        TPaneText& text, IConversationInput& input, const QTextCharFormat& format, THooks hooks);
    ~TTypingPaneEditor() override;
    TTypingPaneEditor(const TTypingPaneEditor&) = delete;
    TTypingPaneEditor& operator=(const TTypingPaneEditor&) = delete;

    void Insert(TRichPane& pane, const QString& text) override;
    void Drop(TRichPane& pane, int position, bool moved, const QString& text) override;
    void Erase(TRichPane& pane, bool forward) override;
    void LineEnd(TRichPane& pane) override;
    void Undo(TRichPane& pane) override;
    void Redo(TRichPane& pane) override;
    void ChangedByPane(TRichPane& pane) override;

    // `text` as the other side will show it: every character the one sent for it, each line
    // break (CR LF, CR or LF) as "\n", control characters left out.
    static QString AsSent(QStringView text);

    // The undo history holds at most this many times the pane's limit in edited characters;
    // past that it starts anew, so that editing for hours keeps no growing record.
    static constexpr int HistoryLimits = 4;
    // An insertion of this many characters or more is followed by handing the heap's free
    // memory back to the system: what came with it (the clipboard's text, its copies) would
    // otherwise stay resident.
    static constexpr qsizetype ReleaseAfterChars = 64 << 10;

private:
    // Inserts `text` (as sent, already cut to the limit) at `caret`; in the one-line styles
    // each line break in it sends the line. Finish sends the rest.
    void InsertText(TRichPane& pane, QTextCursor& caret, QStringView text, TChatStyle style);
    // Sends the insertion of `sent` over the caret's selection, then makes it.
    void InsertAtCaret(QTextCursor& caret, const QString& sent);
    // Whether `sent` at `caret` is a typed character that can go in as the text's appended tail.
    bool TypedAtTheEnd(const QTextCursor& caret, const QString& sent, qsizetype dropped) const;
    void InsertPiece(QTextCursor& caret, QStringView piece);
    // Cuts an insertion to what the limit would keep of it.
    QString CutToLimit(QString text) const;
    qsizetype Length() const;
    // What the limit takes from the front of a text of `length` characters.
    qsizetype DroppedFor(qsizetype length) const;
    void DropFront(qsizetype dropped);
    // Applies the limit and sends the change, whatever it was.
    void Finish();
    void Send(qsizetype droppedFront);
    // Sends `line` as Enter does, with the other side's copy brought up to it first.
    void SendLine(const QString& line);
    void ForgetHistory();
    // Undo or redo (`step`), with the caret where the step leaves it.
    void StepHistory(TRichPane& pane, void (QTextDocument::*step)(QTextCursor*));
    void ReleaseAfterLargeText(const QString& text);

    TPaneText& Text;
    IConversationInput& Input;
    const QTextCharFormat Format;
    THooks Hooks;
    qsizetype EditedSinceHistory = 0;
};

} // namespace quillet
