#pragma once

#include "net/ConversationContext.h"
#include "net/DisplayRelay.h"
#include "net/ProtocolEngine.h"
#include "net/TTCPBlockSocket.h"
#include "platform/TThread.h"
#include "platform/TWakeSignal.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace quillet {

// One conversation, from connection to close.
//
// While the connection stands, a thread of its own builds the tab (on the main thread), connects
// out or adopts the accepted connection, receives every chunk and answers it (the reply
// greeting, the style echoes) before it hands the chunk to the main thread to show, sends the IM
// typing signals and tells the program when the connection has ended. It waits for the window
// only when much it received waits to be shown; every step it runs on the main thread comes
// after what it received before.
//
// Idle costs nothing: the thread sleeps until a byte arrives or its earliest deadline (a typing
// signal, the caller's name time-out) comes, and the main thread wakes it when it sets one (or
// leaves bytes for it to send). Once the connection has ended the thread ends too, and its
// socket and wake-up signal go with it: what stays is the tab with this object behind it, until
// the tab is closed (Close, or close-all), which removes both on the main thread.
//
// A caller is a stranger until it has said its name: one that does not within the name time-out
// is closed, and a conversation that ends before the caller's name is complete takes its tab
// with it at once (nothing in it is worth keeping, and a flood of such calls must leave nothing
// behind).
//
// The socket is shared: this thread waits, reads and sends the caller's greeting, the start style
// and the typing signals; the main thread sends what the user types and closes it. The flags
// below are atomics for that reason.
class TChatClient final : public TThread, public IConversationOwner {
public:
    // Incoming: (accepted handle, "", "", Realtime). Outgoing: (-1, address, port, style).
    // Frees itself when its tab is removed; the creator installs the callbacks, then calls
    // Start.
    TChatClient(TConversationContext& context, int acceptedHandle, std::string remoteAddress,
        std::string remotePort, TChatStyle startStyle);
    ~TChatClient() override;

    // IConversationOwner (main thread)
    bool IsConnected() const override { return Connected.load(); }
    bool IsDisconnected() const override { return Disconnected.load(); }
    bool IsIncoming() const override { return RemoteAddress.empty(); }
    IConversationInput& Input() override { return Engine; }
    void DisconnectButtonClick() override;

    // Main thread. Close-all, and Close in the tab: the tab is to go away as soon as the
    // conversation has ended (at once when it has).
    void RequestClose();
    // Only before Start: runs on the main thread when the tab has been removed, just before this
    // object frees itself.
    void SetOnRemoved(std::function<void(TChatClient&)> callback)
    {
        OnRemoved = std::move(callback);
    }
    // Only before Start: runs on the conversation's thread once its connection has ended (or
    // never came about), before the tab learns of it.
    void SetOnConnectionEnded(std::function<void(TChatClient&)> callback)
    {
        OnConnectionEnded = std::move(callback);
    }
    // The program's exit: ends the connection at once, without reading what is still on its way
    // (DisconnectButtonClick drains it first, a pause per conversation that a thousand of them
    // would turn into seconds).
    void Hangup();
    bool CloseRequested() const { return CloseWanted.load(); }

    std::string OwnName() const override { return Own; }

protected:
    void ThreadMain() override;

private:
    // The protocol's bytes go onto the socket.
    class TSocketSender final : public IByteSender {
    public:
        explicit TSocketSender(TTCPBlockSocket& socket)
            : Socket(socket)
        {
        }
        void Send(std::string_view bytes) override;
        std::size_t SendAvailable(std::string_view bytes) override;
        bool WaitWritable(int timeoutMs) override;

    private:
        TTCPBlockSocket& Socket;
    };

    void SocketStatus(THookSocketReason reason, const std::string& value);
    void AddStatusLine(const std::string& text);
    // Runs `step` on the main thread, after what was received before it has been shown.
    void RunOnView(const std::function<void(IConversationView&)>& step);
    // Has the main thread show a decided chunk; waits for it only when much waits to be shown.
    void HandOver();
    void Dial();
    void ReceiveLoop();
    // Incoming: the caller has not sent its whole name in the time it is given.
    bool CallerNameOverdue(std::chrono::steady_clock::time_point since) const;
    // How long the receive loop may sleep: until its earliest deadline, -1 when it has none.
    int SleepMs(std::chrono::steady_clock::time_point since) const;
    // Main thread, once the thread has been joined.
    void ThreadJoined();
    // Main thread: removes the tab, tells the creator and frees this object.
    void Remove();
    // Main thread: shows what was received, then the tab goes.
    void LetTabGo();

    TConversationContext& Context;
    const int AcceptedHandle;
    const std::string RemoteAddress;
    const std::string RemotePort;
    const TChatStyle StartStyle;
    const std::string Own;

    TTCPBlockSocket Socket;
    TSocketSender Sender { Socket };
    TDisplayRelay Relay; // passes the protocol's display calls on to View
    TProtocolEngine Engine;
    std::unique_ptr<IConversationView> View; // main thread only

    std::atomic<bool> Connected { false };
    std::atomic<bool> Disconnected { false };
    std::atomic<bool> DisconnectClaimed { false };
    std::atomic<bool> Ended { false };
    std::atomic<bool> CloseWanted { false };
    std::atomic<bool> HangupRequested { false };
    std::function<void(TChatClient&)> OnConnectionEnded;
    std::function<void(TChatClient&)> OnRemoved;
    // Wakes the receive loop for what the main thread left it; closed when the thread ends.
    TWakeSignal Wake;
    // The tab stays once the conversation has ended (not so for a caller that never said its
    // name, nor after an error). Written by the thread before it ends.
    std::atomic<bool> KeepTab { false };
    bool ThreadGone = false; // main thread
    bool RemovalPosted = false; // main thread
};

} // namespace quillet
