#pragma once

#include "net/ChatStyle.h"
#include "net/ConversationDisplay.h"
#include "platform/TickSource.h"

#include <atomic>
#include <string>
#include <string_view>

namespace quillet {

// Wire bytes with a meaning of their own.
namespace wire {
inline constexpr char Backspace = '\x08';
inline constexpr char LineFeed = '\x0A';
inline constexpr char CarriageReturn = '\x0D';
inline constexpr char Delete = '\x7F';
inline constexpr unsigned char SigStoppedTyping = 247;
inline constexpr unsigned char SigTypingCleared = 248;
inline constexpr unsigned char SigTyping = 249;
inline constexpr unsigned char SigStyleBase = 249; // + style: 250, 251, 252
} // namespace wire

// The byte-level protocol of one conversation: greeting, receiving rules, sending rules, style
// echo and the IM typing signals. It owns no socket and no widget: received chunks come in
// through ProcessIncoming, display operations go out to an IConversationDisplay, bytes go out to
// an IByteSender.
//
// Threads: ProcessIncoming, the key and choice handlers run on the main thread; SendGreeting,
// AnnounceStartStyle (through the main thread) and TypingTick run on the conversation thread.
// The fields both threads touch are atomics.
class TProtocolEngine {
public:
    // `ownName` is UTF-8; it is sent in Windows-1252.
    TProtocolEngine(IConversationDisplay& display, IByteSender& sender, const ITickSource& ticks,
        std::string ownName);

    // Caller: the connection stands. Sends the own name and CR LF once.
    void SendGreeting();

    // Main thread: interpret one received chunk (any length, cut anywhere).
    void ProcessIncoming(std::string_view chunk);

    // Main thread: the sending rule for one key typed into the typing pane. The caller has
    // already dropped keys for a read-only pane and erasures in an empty pane.
    void KeyTyped(char32_t key, bool paneEmpty);

    // Main thread: Send in IM style: the line (UTF-8) then CR LF; stops the typing signals.
    void SendLine(std::string_view utf8Line);
    // Main thread: Send clicked with the mouse in IM with preview: commit the peer's preview line.
    void SendLineEnd();

    // The user clicked a style choice: it becomes the marked one, then the choice handler runs.
    void UserChoseStyle(TChatStyle style);
    // The caller's start-style announcement: the choice handler without marking the choice.
    void AnnounceStartStyle(TChatStyle style);

    // Conversation thread, once per receive pass: the IM typing signals.
    void TypingTick();

    TChatStyle Style() const { return CurrentStyle.load(); }
    TChatStyle MarkedChoice() const { return Marked; }
    bool GreetingSent() const { return Greeted.load(); }
    // The peer's name in Windows-1252 bytes; empty until its greeting is complete.
    const std::string& PeerName() const { return Peer; }
    const std::string& OwnName() const { return Own; }

    // Longest peer name kept; further bytes before the CR are dropped.
    static constexpr std::size_t MaxNameBytes = 2047;
    // IM typing signal delays after the last key, in milliseconds.
    static constexpr TTick StoppedTypingDelay = 2000;
    static constexpr TTick TypingClearedDelay = 6000;

private:
    void ChooseStyle(TChatStyle style);
    void ApplyStyleSignal(TChatStyle style);
    void SendGreetingOnce();

    IConversationDisplay& Display;
    IByteSender& Sender;
    const ITickSource& Ticks;
    std::string Own;   // Windows-1252
    std::string Peer;  // Windows-1252
    std::string PeerNameBuffer;
    TChatStyle Marked = TChatStyle::Realtime;
    std::atomic<TChatStyle> CurrentStyle{TChatStyle::Realtime};
    std::atomic<bool> Greeted{false};
    std::atomic<bool> TypingPending{false};
    std::atomic<bool> StoppedSent{false};
    std::atomic<TTick> LastKeyTick{0};
};

} // namespace quillet
