#pragma once

#include "net/ChatStyle.h"

#include <string>
#include <string_view>

namespace quillet {

// What the wire protocol asks of the conversation's window. Every call is made on the main
// thread. Text is UTF-8 (decoded from the wire's Windows-1252 bytes); a text run never holds a
// line break.
class IConversationDisplay {
public:
    virtual ~IConversationDisplay() = default;

    // The peer's greeting is complete: name the tab, bring the windows forward as the side
    // requires. `name` may be empty.
    virtual void PeerNameCompleted(const std::string& name) = 0;

    // Realtime and IM: characters for the transcript, in the peer's text font. With
    // `labelAtLineStart` (IM style), the peer's name label goes first when the transcript is
    // empty or ends with a line break.
    virtual void AppendPeerText(std::string_view text, bool labelAtLineStart) = 0;
    virtual void EraseTranscriptChar() = 0;
    virtual void TranscriptNewLine() = 0;

    // The "is typing..." line; empty text empties it.
    virtual void SetTypingNotice(const std::string& text) = 0;

    // IM with preview: the peer's line being typed.
    virtual void AppendPreviewText(std::string_view text) = 0;
    virtual void ErasePreviewChar() = 0;
    // Moves the preview line into the transcript under the peer's name and empties it.
    virtual void CommitPreviewLine() = 0;

    // The local side of a style switch (also when `to` equals `from`).
    virtual void SwitchStyle(TChatStyle from, TChatStyle to) = 0;
    // Shows `style` as the marked style choice, without running any handler.
    virtual void ShowMarkedChoice(TChatStyle style) = 0;

    // A received chunk has been interpreted (repaint, scroll the preview line to its caret).
    virtual void ChunkDone() = 0;
    // A received chunk ended a line: draw the user's attention to the conversation.
    virtual void DrawAttention() = 0;
};

// Where the protocol's outgoing bytes go. One Send call leaves as one unit: bytes of two calls
// made at the same time from two threads never interleave.
class IByteSender {
public:
    virtual ~IByteSender() = default;
    // Waits until every byte has been handed to the connection (or the connection failed).
    virtual void Send(std::string_view bytes) = 0;
    // Hands over as many leading bytes as the connection takes without waiting and returns how
    // many that was; a failed connection takes them all (the failure is reported as for Send).
    // The main thread sends this way, so that a peer that stops reading cannot stop the window.
    // A sender that cannot tell sends everything.
    virtual std::size_t SendAvailable(std::string_view bytes)
    {
        Send(bytes);
        return bytes.size();
    }
    // True when the connection can take bytes within `timeoutMs`.
    virtual bool WaitWritable(int timeoutMs) = 0;
};

} // namespace quillet
