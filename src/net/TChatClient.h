#pragma once

#include "net/ConversationContext.h"
#include "net/DisplayRelay.h"
#include "net/ProtocolEngine.h"
#include "net/TTCPBlockSocket.h"
#include "platform/TThread.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace quillet {

// One conversation, from connection to close, on a thread of its own.
//
// The thread builds the tab (on the main thread), connects out or adopts the accepted
// connection, receives and hands every chunk to the main thread, runs the IM typing signals and
// the attention blinking, tells the program when the connection has ended, waits for the tab to
// be closed, removes it and frees itself.
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
    // Frees itself when its thread ends; the creator installs the termination callback, then
    // calls Start.
    TChatClient(TConversationContext& context, int acceptedHandle, std::string remoteAddress,
        std::string remotePort, TChatStyle startStyle);
    ~TChatClient() override;

    // IConversationOwner (main thread)
    bool IsConnected() const override { return Connected.load(); }
    bool IsDisconnected() const override { return Disconnected.load(); }
    bool IsIncoming() const override { return RemoteAddress.empty(); }
    IConversationInput& Input() override { return Engine; }
    void DisconnectButtonClick() override;

    // Close-all: the tab is to go away as soon as the conversation has ended.
    void RequestClose();
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
    void RunOnView(const std::function<void(IConversationView&)>& step);
    void Dial();
    void ReceiveLoop();
    // Incoming: the caller has not sent its whole name in the time it is given.
    bool CallerNameOverdue(std::chrono::steady_clock::time_point since) const;
    void WaitForCloseRequest();

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
    // The peer's name is complete; written on the main thread.
    std::atomic<bool> NameArrived { false };
    std::function<void(TChatClient&)> OnConnectionEnded;
    // The tab was lit for attention and needs its timer passes; written on the main thread.
    std::atomic<bool> AttentionDue { false };
    std::mutex CloseLock;
    std::condition_variable CloseSignal;
};

} // namespace quillet
