#pragma once

#include "net/ConversationContext.h"
#include "net/TTCPBlockSocket.h"
#include "platform/TThread.h"
#include "platform/TWakeSignal.h"
#include "settings/Settings.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace quillet {

class TChatClient;

// What the listener needs of the chat window and the tray (main thread).
struct TChatServerHooks {
    // A conversation begins: `dialed` when the user called, so the window may take the keyboard;
    // for a caller it must not (the user may be typing elsewhere).
    std::function<void(bool dialed)> ShowChatWindow;
    std::function<void()> HideChatWindow;
    // The listener has started or stopped being able to listen; `reason` says why not.
    std::function<void(bool listening, const std::string& reason)> ListenStateChanged;
};

// The listener: accepts calls on its port and starts every conversation, incoming or dialed.
//
// A pass: (re)open the listening socket if it is not listening; take the call request, if any,
// and start that conversation; otherwise wait for callers (or for a new request, which wakes the
// wait) and accept every connection already waiting. A port that is taken is tried again every
// second until it is free; a listener that listens sleeps until something wakes it.
//
// A flood of callers must neither take the program down nor lock genuine callers out (the
// limits are the context's TCallLimits):
// - at most MaxConversations connections stand at once; a caller beyond them is closed at once,
//   without a tab, and the listen state says so (the tray tip) until one has ended. Ended
//   conversations whose tabs remain hold no connection and do not count;
// - one address may have at most MaxPerAddress conversations (until their tabs are closed), so
//   a caller from another address is still answered while one address floods; a caller beyond
//   that is closed at once, quietly;
// - a caller that does not say its name in time, or hangs up before it has, leaves no tab (the
//   conversation's part, TChatClient).
// Every connection waiting in the system's queue is taken in one pass, so a genuine caller waits
// behind a flood for one pass at most. An accept that fails (out of descriptors, say) leaves the
// caller waiting in the queue and is tried again after a pause of AcceptRetryMs instead of at
// once, and the listen state says why. As a crowd's conversations are removed, the memory they
// used is given back to the system (see CrowdWorthReleasing).
//
// Guards: RequestLock for the three request fields, ListLock for Conversations and the counts.
// The listener thread holds neither while it waits for the main thread.
class TChatServer final : public TThread {
public:
    TChatServer(TConversationContext& context, TChatServerHooks hooks,
        std::string bindAddress = "0.0.0.0",
        std::string port = std::string(settings::DefaultPortText));
    ~TChatServer() override;

    // Main thread: leave a call for the listener. A request not yet taken is replaced.
    void RequestCall(const std::string& address, const std::string& port, TChatStyle style);
    // Main thread: close every conversation; their tabs go away as they end.
    void CloseAll();
    // Main thread, from each conversation's end.
    void ClientTerminated(TChatClient& sender);

    // Main thread, at program exit: stop listening, end every conversation without questions
    // and wait (running `processEvents` so the conversations can reach the main thread) until
    // all of them and the listener thread are gone. False if that took longer than `timeout`.
    bool StopAndWait(const std::function<void()>& processEvents, std::chrono::milliseconds timeout);

    static constexpr int AcceptRetryMs = 500;
    // Memory is given back each time the conversations have halved since it last was (and once
    // they have all gone), once there were this many.
    static constexpr std::size_t CrowdWorthReleasing = 16;

    // The port being listened on (0 while not listening); useful when constructed with "0".
    int ListeningPort() const { return BoundPort.load(); }
    // Accepts that failed (other than for an empty queue) since the start.
    int AcceptFailures() const { return FailedAccepts.load(); }
    std::size_t ConversationCount() const;
    // Conversations whose connection stands (or is being made).
    std::size_t LiveConnectionCount() const;

protected:
    void ThreadMain() override;

private:
    void SetUpListener();
    void WaitForCallersOrRequest();
    void AcceptWaiting();
    // Counts a caller from `address` in when the limits leave room for it.
    bool Admit(const std::string& address);
    // `caller`: the caller's address, which Admit has counted in; none for a dialed call.
    void Register(TChatClient* client, std::optional<std::string> caller);
    void ConnectionEnded(TChatClient& client);
    void Wake();
    // Waits up to `timeoutMs` for a wake-up (a call request or the stop).
    void WaitForWake(int timeoutMs);
    // Tells the program why calls are not answered ("" when they are), when that changes.
    void ReportListenState();
    // Closes every conversation's connection: with a drain (the user's close-all) or at once
    // (the program's exit, where nothing is left to read).
    void CloseConversations(bool atExit);

    TConversationContext& Context;
    TChatServerHooks Hooks;
    const std::string BindAddress;
    const std::string Port;

    TTCPBlockSocket Listener;
    bool Listening = false; // listener thread only
    std::string BindProblem; // listener thread only: why the port is not ours
    std::string AcceptProblem; // listener thread only: why the last accept failed
    bool Refusing = false; // listener thread only: callers are being turned away
    std::optional<std::string> Reported; // last reason told, "" = listening; listener thread
    std::atomic<int> BoundPort { 0 };
    std::atomic<int> FailedAccepts { 0 };
    std::atomic<bool> StopRequested { false };
    TWakeSignal WakeSignal;

    std::mutex RequestLock;
    std::string PendingAddress;
    std::string PendingPort;
    TChatStyle PendingStyle = TChatStyle::IMPreview;

    struct TConversationEntry {
        TChatClient* Client;
        std::optional<std::string> Caller; // the caller's address; none for a dialed call
        bool Live; // its connection stands or is being made
    };

    mutable std::mutex ListLock;
    std::vector<TConversationEntry> Conversations; // in the order they were made
    // Guarded by ListLock: entries of Conversations that are Live (and admitted callers about to
    // be entered), and the entries per caller address (with admitted callers).
    std::size_t LiveConnections = 0;
    std::unordered_map<std::string, std::size_t> PerAddress;
    // Guarded by ListLock: the most conversations there were since memory was last given back,
    // and whether it is to be given back once more when the last has gone.
    std::size_t PeakSinceRelease = 0;
    bool ReleaseWhenEmpty = false;
};

} // namespace quillet
