#include "net/TChatServer.h"

#include "net/SocketErrors.h"
#include "net/TChatClient.h"
#include "platform/MemoryRelease.h"

#include <algorithm>
#include <poll.h>
#include <unistd.h>

namespace quillet {
namespace {

// While the port cannot be had, the listener tries again this often; while it listens it
// sleeps until a caller, a call request or the stop wakes it.
constexpr int ListenRetryMs = 1000;

} // namespace

TChatServer::TChatServer(TConversationContext& context, TChatServerHooks hooks,
    std::string bindAddress, std::string port)
    : TThread(context.Dispatcher)
    , Context(context)
    , Hooks(std::move(hooks))
    , BindAddress(std::move(bindAddress))
    , Port(std::move(port))
{
    SetOnError(Context.ReportError);
}

TChatServer::~TChatServer()
{
    StopRequested.store(true);
    Wake();
    WaitFor();
}

void TChatServer::Wake()
{
    WakeSignal.Wake();
}

void TChatServer::RequestCall(const std::string& address, const std::string& port, TChatStyle style)
{
    {
        const std::lock_guard<std::mutex> guard(RequestLock);
        PendingAddress = address;
        PendingPort = port;
        PendingStyle = style;
    }
    Wake();
}

std::size_t TChatServer::ConversationCount() const
{
    const std::lock_guard<std::mutex> guard(ListLock);
    return Conversations.size();
}

std::size_t TChatServer::LiveConnectionCount() const
{
    const std::lock_guard<std::mutex> guard(ListLock);
    return LiveConnections;
}

void TChatServer::CloseAll()
{
    CloseConversations(false);
}

void TChatServer::CloseConversations(bool atExit)
{
    const std::lock_guard<std::mutex> guard(ListLock);
    for (const TConversationEntry& entry : Conversations) {
        TChatClient* client = entry.Client;
        client->RequestClose();
        if (atExit)
            client->Hangup();
        else
            client->DisconnectButtonClick();
    }
}

void TChatServer::ClientTerminated(TChatClient& sender)
{
    bool last = false;
    bool roomMade = false;
    bool release = false;
    {
        const std::lock_guard<std::mutex> guard(ListLock);
        const auto it = std::find_if(Conversations.begin(), Conversations.end(),
            [&sender](const TConversationEntry& entry) { return entry.Client == &sender; });
        if (it != Conversations.end()) {
            if (it->Live)
                roomMade = LiveConnections-- == Context.Limits.MaxConversations;
            if (it->Caller) {
                const auto held = PerAddress.find(*it->Caller);
                if (held != PerAddress.end() && --held->second == 0)
                    PerAddress.erase(held);
            }
            Conversations.erase(it);
        }
        last = Conversations.empty();
        // Memory goes back to the system as a crowd leaves: each time it has halved, and once
        // it has gone, rather than after every conversation.
        const std::size_t left = Conversations.size();
        if (PeakSinceRelease >= CrowdWorthReleasing && left <= PeakSinceRelease / 2) {
            PeakSinceRelease = left;
            ReleaseWhenEmpty = left > 0;
            release = true;
        } else if (left == 0 && ReleaseWhenEmpty) {
            ReleaseWhenEmpty = false;
            release = true;
        }
    }
    if (roomMade)
        Wake();
    // Queued: the tabs removed just before go first.
    if (release)
        Dispatcher().Post([] { ReleaseFreeMemory(); });
    if (last && Hooks.HideChatWindow)
        Hooks.HideChatWindow();
}

bool TChatServer::StopAndWait(
    const std::function<void()>& processEvents, std::chrono::milliseconds timeout)
{
    Context.ExitInProgress.store(true);
    StopRequested.store(true);
    Wake();
    CloseConversations(true);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    const auto done = [this] { return Finished() && Context.LiveConversations.load() == 0; };
    bool closedLate = false;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        processEvents();
        if (Finished() && !closedLate) {
            // Conversations the listener started after the first close-all.
            CloseConversations(true);
            closedLate = true;
        }
    }
    if (!Finished())
        return false;
    WaitFor();
    return done();
}

void TChatServer::SetUpListener()
{
    if (Listening)
        return;
    // A socket whose bind or listen failed is dropped and made anew, so a port that was taken
    // is tried again on every pass until it is free.
    Listener.Close();
    Listener.SetLingerOption(true, 10);
    Listener.SetNonBlockingMode(true);
    Listener.Bind(BindAddress, Port);
    if (Listener.ErrorCode() == 0)
        Listener.Listen();
    Listening = Listener.ErrorCode() == 0;
    BindProblem = Listening ? std::string() : Listener.ErrorText();
    if (Listening)
        BoundPort.store(Listener.LocalPort());
    ReportListenState();
}

void TChatServer::ConnectionEnded(TChatClient& client)
{
    bool roomMade = false;
    {
        const std::lock_guard<std::mutex> guard(ListLock);
        const auto it = std::find_if(Conversations.begin(), Conversations.end(),
            [&client](const TConversationEntry& entry) { return entry.Client == &client; });
        if (it != Conversations.end() && it->Live) {
            it->Live = false;
            roomMade = LiveConnections-- == Context.Limits.MaxConversations;
        }
    }
    // A listener that turns callers away says so until there is room again: it must look.
    if (roomMade)
        Wake();
}

void TChatServer::ReportListenState()
{
    if (Refusing && LiveConnectionCount() < Context.Limits.MaxConversations)
        Refusing = false;
    std::string reason = BindProblem;
    if (reason.empty())
        reason = AcceptProblem;
    if (reason.empty() && Refusing)
        reason = std::to_string(Context.Limits.MaxConversations)
            + " conversations are open, callers are turned away";
    // Tell the program when the state or the reason changes, not on every pass.
    if (Hooks.ListenStateChanged && (!Reported || *Reported != reason)) {
        Reported = reason;
        RunOnMainThread([this, &reason] { Hooks.ListenStateChanged(reason.empty(), reason); });
    }
}

void TChatServer::ThreadMain()
{
    while (!StopRequested.load() && !Terminated()) {
        SetUpListener();

        std::string address;
        std::string port;
        TChatStyle style = TChatStyle::IMPreview;
        {
            const std::lock_guard<std::mutex> guard(RequestLock);
            address = PendingAddress;
            port = PendingPort;
            style = PendingStyle;
            PendingAddress.clear();
        }

        if (!address.empty()) {
            auto* client = new TChatClient(Context, -1, address, port, style);
            Register(client, std::nullopt);
            RunOnMainThread([this] {
                if (Hooks.ShowChatWindow)
                    Hooks.ShowChatWindow(true);
            });
            continue;
        }
        WaitForCallersOrRequest();
    }
    Listener.Close();
    Listening = false;
    BoundPort.store(0);
}

void TChatServer::WaitForWake(int timeoutMs)
{
    pollfd wake { WakeSignal.Fd(), POLLIN, 0 };
    ::poll(&wake, 1, timeoutMs);
    WakeSignal.Clear();
}

void TChatServer::WaitForCallersOrRequest()
{
    if (!AcceptProblem.empty()) {
        // The last accept failed and its caller still waits in the queue, so the socket reads
        // as ready at once: a pause, or the thread would spin at full speed until the failure
        // goes away.
        WaitForWake(AcceptRetryMs);
        AcceptWaiting();
        ReportListenState();
        return;
    }
    // Without a wake-up signal nothing could end a wait without a time limit.
    const bool wakeable = WakeSignal.Fd() >= 0;
    pollfd fds[2]
        = { { WakeSignal.Fd(), POLLIN, 0 }, { Listening ? Listener.Handle() : -1, POLLIN, 0 } };
    const int ready = ::poll(fds, 2, Listening && wakeable ? -1 : ListenRetryMs);
    WakeSignal.Clear();
    if (ready > 0 && (fds[1].revents & POLLIN) != 0)
        AcceptWaiting();
    ReportListenState();
}

void TChatServer::AcceptWaiting()
{
    // Take every connection already waiting, not one per pass: the listening socket is
    // non-blocking, so Accept fails with "would block" once the queue is empty.
    std::vector<std::pair<int, std::string>> accepted;
    for (;;) {
        const int handle = Listener.Accept();
        const int code = Listener.ErrorCode();
        if (code != 0 || handle < 0) {
            const bool failed = code != sockerr::WouldBlock;
            AcceptProblem = failed ? Listener.ErrorText() : std::string();
            if (failed)
                FailedAccepts.fetch_add(1);
            break;
        }
        AcceptProblem.clear();
        std::string address = Listener.PeerAddressText();
        if (!Admit(address)) {
            // Turned away at once: no tab, no thread, nothing kept.
            ::close(handle);
            continue;
        }
        accepted.emplace_back(handle, std::move(address));
    }
    if (accepted.empty())
        return;
    // Queued, not waited for: with a crowd calling, the main thread is busy building the tabs of
    // the callers taken before, and the listener would wait for all of them before it could take
    // the next ones. The window still shows before any of these conversations' tabs is built,
    // since their steps on the main thread are queued after this one.
    Dispatcher().Post([this] {
        if (Hooks.ShowChatWindow)
            Hooks.ShowChatWindow(false);
    });
    for (auto& [handle, address] : accepted) {
        Register(
            new TChatClient(Context, handle, std::string(), std::string(), TChatStyle::Realtime),
            address);
    }
}

bool TChatServer::Admit(const std::string& address)
{
    const std::lock_guard<std::mutex> guard(ListLock);
    if (LiveConnections >= Context.Limits.MaxConversations) {
        Refusing = true;
        return false;
    }
    std::size_t& held = PerAddress[address];
    if (held >= Context.Limits.MaxPerAddress)
        return false;
    ++held;
    ++LiveConnections;
    return true;
}

void TChatServer::Register(TChatClient* client, std::optional<std::string> caller)
{
    // The callbacks are in place before the conversation can end.
    client->SetOnError(Context.ReportError);
    client->SetOnConnectionEnded([this](TChatClient& ended) { ConnectionEnded(ended); });
    client->SetOnRemoved([this](TChatClient& removed) { ClientTerminated(removed); });
    {
        const std::lock_guard<std::mutex> guard(ListLock);
        // A dialed call is never refused; a caller was counted in when it was admitted.
        if (!caller)
            ++LiveConnections;
        Conversations.push_back({ client, std::move(caller), true });
        PeakSinceRelease = std::max(PeakSinceRelease, Conversations.size());
    }
    client->Start();
}

} // namespace quillet
