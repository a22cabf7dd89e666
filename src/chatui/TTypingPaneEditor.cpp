#include "chatui/TTypingPaneEditor.h"

#include "chatui/TPaneText.h"
#include "chatui/TRichPane.h"
#include "net/ConversationInput.h"
#include "platform/CodePage1252.h"
#include "platform/MemoryRelease.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace quillet {

TTypingPaneEditor::TTypingPaneEditor(
    TPaneText& text, IConversationInput& input, const QTextCharFormat& format, THooks hooks)
    : Text(text)
    , Input(input)
    , Format(format)
    , Hooks(std::move(hooks))
{
    Text.Document()->setUndoRedoEnabled(true);
}

TTypingPaneEditor::~TTypingPaneEditor() = default;

QString TTypingPaneEditor::AsSent(QStringView text)
{
    QString sent;
    sent.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t ch = text[i].unicode();
        if (ch == u'\r' || ch == u'\n') {
            if (ch == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            sent += u'\n';
            continue;
        }
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ch = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        // Control characters (C1 included: Windows-1252 leaves five bytes undefined, which the
        // other side does not draw) would put the two ends out of step.
        const char32_t shown = cp1252::Decode(cp1252::EncodeTyped(ch));
        if (shown < 0x20 || (shown >= 0x7F && shown <= 0x9F))
            continue;
        sent += QChar(static_cast<char16_t>(shown));
    }
    return sent;
}

QString TTypingPaneEditor::CutToLimit(QString text) const
{
    // Whatever the text goes in beside, the limit keeps the last KeptAfterTrim characters of
    // the pane once it is passed, and they all come from an insertion longer than the limit.
    const int limit = Text.Limit();
    if (limit > 0 && text.size() > limit)
        text.remove(0, text.size() - TPaneText::KeptAfterTrim(limit));
    return text;
}

void TTypingPaneEditor::Insert(TRichPane& pane, const QString& text)
{
    const TUserAction action(Input);
    const std::optional<TChatStyle> style = Hooks.Prepare();
    if (!style)
        return;
    const QString sent = CutToLimit(AsSent(text));
    if (sent.isEmpty())
        return;
    QTextCursor caret = pane.textCursor();
    if (*style != TChatStyle::Realtime && sent.contains(u'\n')) {
        InsertText(pane, caret, sent, *style);
        Finish();
    } else {
        InsertAtCaret(caret, sent);
    }
    ReleaseAfterLargeText(text);
}

void TTypingPaneEditor::InsertAtCaret(QTextCursor& caret, const QString& sent)
{
    // The bytes leave first: the other side need not wait for this side's layout.
    const int from = caret.selectionStart();
    const int removed = caret.selectionEnd() - from;
    const qsizetype dropped = DroppedFor(Length() - removed + sent.size());
    Input.TypingPaneEdited(static_cast<std::size_t>(from), static_cast<std::size_t>(removed),
        sent.toStdString(), static_cast<std::size_t>(dropped));
    if (TypedAtTheEnd(caret, sent, dropped)) {
        // The common case, a key at the end: it joins the text's pending tail, which goes into
        // the document with the rest of the pass and is laid out once there, its line's glyphs
        // kept, instead of being shaped here before the key returns.
        if (sent == u"\n")
            Text.AddLine();
        else
            Text.AppendRun(sent, Format);
        EditedSinceHistory += sent.size();
        return;
    }
    InsertPiece(caret, sent);
    DropFront(dropped);
}

bool TTypingPaneEditor::TypedAtTheEnd(
    const QTextCursor& caret, const QString& sent, qsizetype dropped) const
{
    // One character or line break (as sent, never a surrogate pair), where nothing is selected
    // and no limit applies, that keeps its line within one paragraph: the text would split a
    // longer line into continuation paragraphs, which positions here do not count.
    return dropped == 0 && sent.size() == 1 && !caret.hasSelection() && caret.position() == Length()
        && caret.block().length() - 1 + sent.size() <= TPaneText::MaxBlockChars;
}

void TTypingPaneEditor::InsertPiece(QTextCursor& caret, QStringView piece)
{
    // A key's character joins the typing around it into one undo step; anything longer (a
    // paste, a drop, an input method's word) is a step of its own.
    if (piece.size() > 1)
        caret.beginEditBlock();
    caret.insertText(piece.toString(), Format);
    if (piece.size() > 1)
        caret.endEditBlock();
    EditedSinceHistory += piece.size();
}

void TTypingPaneEditor::ReleaseAfterLargeText(const QString& text)
{
    // The text and its copies on the way in go once the event that brought it is over.
    if (text.size() >= ReleaseAfterChars)
        QTimer::singleShot(0, [] { ReleaseFreeMemory(); });
}

void TTypingPaneEditor::Drop(TRichPane& pane, int position, bool moved, const QString& text)
{
    const TUserAction action(Input);
    const std::optional<TChatStyle> style = Hooks.Prepare();
    if (!style)
        return;
    const QString sent = CutToLimit(AsSent(text));
    QTextCursor caret = pane.textCursor();
    QTextCursor at(Text.Document());
    at.setPosition(std::clamp(position, 0, Text.Document()->characterCount() - 1));
    // One undo step for a move, unless the lines of the text are sent on the way.
    const bool oneStep = *style == TChatStyle::Realtime || !sent.contains(u'\n');
    if (oneStep)
        at.beginEditBlock();
    if (moved && caret.hasSelection())
        caret.removeSelectedText();
    InsertText(pane, at, sent, *style);
    if (oneStep)
        at.endEditBlock();
    pane.setTextCursor(at);
    Finish();
    ReleaseAfterLargeText(text);
}

void TTypingPaneEditor::InsertText(
    TRichPane& pane, QTextCursor& caret, QStringView text, TChatStyle style)
{
    if (style != TChatStyle::Realtime && text.contains(u'\n')) {
        // The first line ends the one in the pane, as Enter would; those after it but the last
        // go out as they are, without passing through the pane; the last starts the pane anew.
        const QList<QStringView> lines = text.split(u'\n');
        InsertPiece(caret, lines.front());
        Finish();
        SendLine(Text.Text());
        for (qsizetype i = 1; i + 1 < lines.size(); ++i)
            SendLine(lines[i].toString());
        caret = pane.textCursor();
        text = lines.back();
    }
    InsertPiece(caret, text);
}

void TTypingPaneEditor::Erase(TRichPane& pane, bool forward)
{
    const TUserAction action(Input);
    if (!Hooks.Prepare())
        return;
    QTextCursor caret = pane.textCursor();
    int from = caret.selectionStart();
    int to = caret.selectionEnd();
    if (from == to) {
        if (forward)
            to = static_cast<int>(std::min<qsizetype>(to + 1, Length()));
        else
            from = std::max(from - 1, 0);
    }
    if (from == to)
        return;
    // Out first, as for an insertion. The pane holds no pair of surrogates (see AsSent), so the
    // character beside the caret is the one of the editor's own erasing, which keeps a run of
    // erasures one undo step.
    Input.TypingPaneEdited(
        static_cast<std::size_t>(from), static_cast<std::size_t>(to - from), std::string_view(), 0);
    if (forward)
        caret.deleteChar();
    else
        caret.deletePreviousChar();
    EditedSinceHistory += to - from;
    DropFront(0);
}

void TTypingPaneEditor::LineEnd(TRichPane& pane)
{
    const TUserAction action(Input);
    const std::optional<TChatStyle> style = Hooks.Prepare();
    if (!style)
        return;
    if (*style != TChatStyle::Realtime) {
        SendLine(Text.Text());
        return;
    }
    QTextCursor caret = pane.textCursor();
    InsertAtCaret(caret, QStringLiteral("\n"));
}

void TTypingPaneEditor::Undo(TRichPane& pane)
{
    StepHistory(pane, &QTextDocument::undo);
}

void TTypingPaneEditor::Redo(TRichPane& pane)
{
    StepHistory(pane, &QTextDocument::redo);
}

void TTypingPaneEditor::StepHistory(TRichPane& pane, void (QTextDocument::*step)(QTextCursor*))
{
    const TUserAction action(Input);
    if (!Hooks.Prepare())
        return;
    QTextCursor caret = pane.textCursor();
    (Text.Document()->*step)(&caret);
    pane.setTextCursor(caret);
    Finish();
}

void TTypingPaneEditor::ChangedByPane(TRichPane&)
{
    const TUserAction action(Input);
    // What was received is shown first, as for every edit; the pane's text is sent whatever the
    // style, since it has changed already.
    (void)Hooks.Prepare();
    Finish();
}

qsizetype TTypingPaneEditor::Length() const
{
    return Text.Document()->characterCount() - 1;
}

qsizetype TTypingPaneEditor::DroppedFor(qsizetype length) const
{
    const int limit = Text.Limit();
    return limit > 0 && length > limit ? length - TPaneText::KeptAfterTrim(limit) : 0;
}

void TTypingPaneEditor::DropFront(qsizetype dropped)
{
    const int limit = Text.Limit();
    if (dropped > 0) {
        QTextCursor front(Text.Document());
        front.setPosition(static_cast<int>(dropped), QTextCursor::KeepAnchor);
        front.removeSelectedText();
        // Undo must not bring back what the other side keeps but the pane no longer holds.
        ForgetHistory();
    } else if (limit > 0 && EditedSinceHistory > qsizetype(HistoryLimits) * limit) {
        ForgetHistory();
    }
}

void TTypingPaneEditor::Finish()
{
    const qsizetype dropped = DroppedFor(Length());
    DropFront(dropped);
    Send(dropped);
}

void TTypingPaneEditor::Send(qsizetype droppedFront)
{
    Input.TypingPaneChanged(Text.Text().toStdString(), static_cast<std::size_t>(droppedFront));
}

void TTypingPaneEditor::SendLine(const QString& line)
{
    // A line of the pane is the other side's copy already; one that never was in the pane gets
    // there first, so that IM with preview commits it as it commits a typed one.
    Input.TypingPaneChanged(line.toStdString(), 0);
    Input.LineEndTyped();
    Hooks.SendLine(line);
}

void TTypingPaneEditor::ForgetHistory()
{
    QTextDocument& document = *Text.Document();
    document.setUndoRedoEnabled(false);
    document.setUndoRedoEnabled(true);
    EditedSinceHistory = 0;
}

} // namespace quillet
