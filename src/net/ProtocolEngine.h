#pragma once

#include "net/ChatStyle.h"
#include "net/ConversationDisplay.h"
#include "net/ConversationInput.h"
#include "net/TTypedCopy.h"
#include "net/WireBytes.h"
#include "platform/TickSource.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// The byte-level protocol of one conversation: greeting, receiving rules, sending rules, style
// echo and the IM typing signals. It owns no socket and no widget: received chunks come in
// through ProcessIncoming, display operations go out to an IConversationDisplay, bytes go out to
// an IByteSender.
//
// Threads: the key, line and choice handlers and ShowDecided run on the main thread; SendGreeting,
// DecideIncoming, AnnounceStartStyle (through the main thread) and TypingTick run on the
// conversation thread. ProcessIncoming does both halves of a received chunk on one thread. The
// typing state, the style and the marked choice are guarded by TypingGuard; the bytes a decision
// made under it calls for are put into the outbox before the guard is let go, so the wire carries
// them in the order the decisions were made (never a typing signal that contradicts a key or a
// style signal sent just before it).
//
// A received chunk is decided where it is received: the conversation thread completes the
// peer's name (the callee greets at once), decides what every style signal does and sends the
// echoes, all before the main thread is asked to do anything; the main thread shows the decided
// chunks later, in order. What the user does in the window must meet the conversation as the
// window shows it (a key typed before a switch shows must go out by the old style, or the window
// and the wire disagree), so every user action is bracketed by BeginUserAction and
// EndUserAction: the decided chunks are shown first and no further chunk is decided meanwhile.
// Lock order: DecideGuard, TypingGuard, OutGuard; QueueGuard is taken alone.
//
// No lock is held while bytes are sent: a failed send is reported to the user, and the report
// waits for the main thread, which may at that very moment want a lock for a key it handles. So
// bytes go through the outbox: whichever thread finds nobody sending takes the outbox's units
// out one by one and sends each with OutGuard let go; a thread that finds a send under way only
// leaves its bytes, which the sending thread takes along.
//
// The main thread never waits for the connection: it hands over only what the connection takes
// at once (SendAvailable) and leaves the rest in the outbox, the backlog, which the conversation
// thread sends (SendBacklog) before it reads anything more from the peer. A peer that stops
// reading thus stops being read, and the backlog stays within what one received chunk can call
// for plus what the user types.
//
// A received chunk is worked through in two passes: the first makes every protocol decision (the
// reply greeting, the style each signal leads to, the echoes) and sends what they call for, the
// echoes of the whole chunk as one unit; the second shows the chunk. So an echo leaves before the
// window has done anything with the signal, and without waiting for the main thread.
class TProtocolEngine final : public IConversationInput {
public:
    // `ownName` is UTF-8; it is sent in Windows-1252.
    TProtocolEngine(IConversationDisplay& display, IByteSender& sender, const ITickSource& ticks,
        const std::string& ownName);

    TProtocolEngine(const TProtocolEngine&) = delete;
    TProtocolEngine& operator=(const TProtocolEngine&) = delete;

    // Caller: the connection stands. Sends the own name and CR LF as one Send, once. Bytes the
    // engine was asked to send before its greeting (a callee's early keys or style choice) are
    // held back and follow the greeting as one further Send.
    void SendGreeting();

    // Main thread: decides and shows one received chunk (any length, cut anywhere).
    void ProcessIncoming(std::string_view chunk);
    // Conversation thread: the decisions one received chunk calls for (the name phase with the
    // callee's reply greeting, every style signal's switch and echo). What they send has been
    // handed to the connection when this returns (waiting for it as long as that takes); the
    // chunk then waits for ShowDecided.
    void DecideIncoming(std::string chunk);
    // Main thread: shows the decided chunks in the order they came, until none is left or at
    // least `budget` received bytes were shown. Returns what those still waiting hold
    // (UndisplayedBytes).
    std::size_t ShowDecided(std::size_t budget = std::numeric_limits<std::size_t>::max());
    // The memory the chunks decided and not shown yet hold: their bytes and what was decided of
    // them.
    std::size_t UndisplayedBytes() const;
    // True once a received greeting has completed the peer's name (any thread; the main thread's
    // PeerName follows when the chunk is shown).
    bool PeerNamed() const { return NameDone.load(); }

    // Main thread, around everything the user does in the window (nested calls are fine).
    void BeginUserAction() override;
    void EndUserAction() override;

    // Main thread: the sending rule for the typing pane, whose text (UTF-8, "\n" between lines)
    // the user changed; its limit took `droppedFront` characters from its front meanwhile.
    // Realtime and IM with preview send the erases and characters that turn the peer's copy into
    // the text (TTypedCopy), as one Send; IM sends a typing signal. Nothing goes out when the
    // text is what the peer's copy holds. The caller drops changes of a read-only pane.
    void TypingPaneChanged(std::string_view utf8Text, std::size_t droppedFront) override;
    // The same for an edit about to be made (TTypedCopy::Replace).
    void TypingPaneEdited(std::size_t position, std::size_t removed, std::string_view utf8Inserted,
        std::size_t droppedFront) override;
    // Main thread: Enter in IM (a typing signal) or IM with preview (a CR, which commits the
    // peer's preview line, unless it is empty). Nothing in Realtime, where a line break is part
    // of the pane's text.
    void LineEndTyped() override;

    // Main thread: Send in IM style: the line (UTF-8) then CR LF, as two Sends; stops the typing
    // signals. Line breaks inside the line go out as CR LF. Nothing in the other styles, and
    // nothing for an empty line.
    void SendLine(std::string_view utf8Line) override;
    // Main thread: Send clicked with the mouse in IM with preview: a CR, so the peer commits its
    // preview line as this side commits its own. Nothing in the other styles.
    void SendLineEnd() override;

    // The user clicked a style choice: it becomes the marked one, then the choice handler runs.
    void UserChoseStyle(TChatStyle style) override;
    // The caller's start-style announcement: the choice handler without marking the choice.
    void AnnounceStartStyle(TChatStyle style);
    // (A received style signal switches and marks the style. The callee answers every signal for
    // a choice that was not marked; the caller answers only the acknowledgement of its start
    // style, so signals that cross on the wire cannot be answered back and forth.)

    // Conversation thread, once per receive pass: the IM typing signals.
    void TypingTick();
    // Conversation thread: milliseconds until TypingTick has a signal to send (0: it has one
    // now); none while no typing signal is due.
    std::optional<TTick> TypingDueInMs() const;
    // Only before the conversation starts: runs, with no lock held, when the main thread leaves
    // the conversation thread work it does not wait for: a typing signal fell due where none was
    // (a key typed in IM), or bytes wait in the backlog. The conversation thread sleeps until its
    // next deadline and must be woken for either.
    void SetOnThreadWork(std::function<void()> wake) { OnThreadWork = std::move(wake); }
    // Conversation thread: sends what the main thread left for the connection to take later,
    // waiting for it as long as that takes.
    void SendBacklog();
    // Bytes waiting in the outbox (the backlog, while no send is under way).
    std::size_t BacklogBytes() const;

    TChatStyle Style() const { return CurrentStyle.load(); }
    TChatStyle MarkedChoice() const override;
    bool GreetingSent() const { return Greeted.load(); }
    // True once SendGreeting greeted before the peer did.
    bool IsCaller() const { return Caller.load(); }
    // Main thread. The peer's name in Windows-1252 bytes as received; empty until its greeting
    // is complete.
    const std::string& PeerName() const { return Peer; }
    // Main thread. The peer's name as handed to the display: UTF-8, control characters removed
    // (a name is a one-line label; a line break in it would tear the transcript apart).
    const std::string& PeerNameUtf8() const { return PeerUtf8; }
    // Windows-1252.
    const std::string& OwnName() const { return Own; }
    bool TypingPending() const;

    // Longest peer name kept; further bytes before the CR are dropped, so a peer that never ends
    // its greeting cannot make us grow without bound.
    static constexpr std::size_t MaxNameBytes = 2047;
    // IM typing signal delays after the last key, in milliseconds.
    static constexpr TTick StoppedTypingDelay = 2000;
    static constexpr TTick TypingClearedDelay = 6000;
    // How long TypingTick waits for the connection to take bytes.
    static constexpr int TypingWriteWaitMs = 1000;

private:
    // What one received style signal did: the style before and after, whether it marked a choice
    // and whether it was answered.
    struct TStyleStep {
        TChatStyle From;
        TChatStyle To;
        bool Marked;
        bool Echoed;
    };
    static constexpr std::uint8_t StepMarked = 1;
    static constexpr std::uint8_t StepEchoed = 2;
    // Who calls Flush: the main thread hands over only what the connection takes at once.
    enum class TFlushMode : std::uint8_t { NoWait, Wait };
    // A received chunk as decided, waiting to be shown: the names its greeting bytes completed
    // (Windows-1252, as received), the conversation bytes after them, the style they start in
    // and what each of their style signals did.
    struct TDecidedChunk {
        std::vector<std::string> Names;
        std::string Bytes;
        TChatStyle StyleBefore = TChatStyle::Realtime;
        // What each style signal did besides switching to its style (from the style before it:
        // the one the previous signal switched to, or StyleBefore): StepMarked and StepEchoed.
        // A byte each, so that a burst of signals waiting to be shown holds little more than
        // itself.
        std::vector<std::uint8_t> Steps;
        // The memory it holds while it waits, which is what read-ahead is measured in.
        std::size_t HeldBytes() const
        {
            std::size_t held = sizeof(TDecidedChunk) + Bytes.capacity() + Steps.capacity();
            for (const std::string& name : Names)
                held += sizeof(std::string) + name.capacity();
            return held;
        }
    };

    void Decide(std::string chunk, TFlushMode mode);
    // Returns the number of bytes of `chunk` that the name phase consumed; each completed name
    // is noted in `decided`; a callee's reply greeting goes into the outbox.
    std::size_t ConsumeNamePhase(std::string_view chunk, TDecidedChunk& decided);
    // The first pass over the conversation bytes: every style signal's decision, noted in
    // `decided`, and its echo put into the outbox.
    void DecideStyleSignals(std::string_view bytes, TDecidedChunk& decided);
    void ShowChunk(const TDecidedChunk& decided);
    // The second pass: what the bytes show. Returns true when they held a CR.
    bool InterpretConversation(
        std::string_view bytes, TChatStyle style, const std::vector<std::uint8_t>& steps);
    void FlushRun(std::string& run, TChatStyle style);
    // The choice handler (main thread): the display's switch, the style and its signal.
    void ChooseStyle(TChatStyle style);
    // Decides what a received signal does; TypingGuard held. Returns its step.
    TStyleStep DecideStyleSignal(TChatStyle style);
    void ShowStyleStep(const TStyleStep& step);
    // Puts the greeting at the head of the outbox, once; true when this call did.
    bool QueueGreeting(bool asCaller);
    // Every send but the greeting goes into the outbox: held back until this side has greeted.
    void SendBytes(std::string_view bytes);
    // Sends what the outbox holds, unless another thread is sending it already. Called with no
    // lock held.
    void Flush(TFlushMode mode);
    // A key in IM: the typing signal, and the pause it starts; TypingGuard held. True when no
    // pause ran yet: the conversation thread must wake to time it.
    bool NoteTyping();
    // Called with no lock held, after NoteTyping said a pause began.
    void WakeForTyping(bool typingStarted);
    // Sends what `change` (of the peer's copy of the typing pane) calls for by the style.
    void SendPaneChange(const std::function<std::string()>& change);

    IConversationDisplay& Display;
    IByteSender& Sender;
    const ITickSource& Ticks;
    std::function<void()> OnThreadWork;
    std::string Own; // Windows-1252
    // Main thread: what the shown chunks told.
    std::string Peer; // Windows-1252
    std::string PeerUtf8;
    std::string RunBuffer; // reused between chunks so interpretation allocates rarely
    bool Showing = false;
    int UserActions = 0; // nesting depth of BeginUserAction
    TTypedCopy Typed; // the peer's copy of the typing pane

    // Held while a chunk is decided, and by the main thread during a user action.
    std::mutex DecideGuard;
    std::string PeerNameBuffer; // guarded by DecideGuard
    bool NameComplete = false; // guarded by DecideGuard
    std::atomic<bool> NameDone { false };

    mutable std::mutex QueueGuard;
    std::deque<TDecidedChunk> Decided; // guarded by QueueGuard
    std::size_t DecidedBytes = 0; // guarded by QueueGuard

    std::atomic<TChatStyle> CurrentStyle { TChatStyle::Realtime }; // written under TypingGuard
    std::atomic<bool> Caller { false }; // greeted first; decides who gives way on crossed signals

    // Neither OutGuard nor TypingGuard is held across a send.
    mutable std::mutex OutGuard;
    std::atomic<bool> Greeted { false }; // set under OutGuard, once the greeting is in the outbox
    std::deque<std::string> Outbox; // guarded by OutGuard: units of one Send each, in order
    bool Sending = false; // guarded by OutGuard: a thread is emptying the outbox

    mutable std::mutex TypingGuard;
    TChatStyle Marked = TChatStyle::Realtime; // guarded by TypingGuard
    bool Pending = false; // guarded by TypingGuard
    bool StoppedSent = false; // guarded by TypingGuard
    TTick LastKeyTick = 0; // guarded by TypingGuard
};

} // namespace quillet
