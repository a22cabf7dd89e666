#include "net/TChatClient.h"

#include "net/CallFailure.h"
#include "net/SocketErrors.h"
#include "platform/ProgramDefaults.h"

namespace quillet {
namespace {

constexpr int ReceiveWaitMs = 300;
constexpr auto ClosePollInterval = std::chrono::milliseconds(500);
// What received chunks may hold while they wait to be shown before this thread waits for the
// window to catch up: a peer faster than the window is read no faster than it is shown.
constexpr std::size_t ReadAheadBytes = 256 << 10;
// The received bytes one pass of the main thread's event loop shows at most of one
// conversation, so that a peer sending without pause cannot keep the window from everything
// else.
constexpr std::size_t PassBytes = 256 << 10;

} // namespace

TChatClient::TChatClient(TConversationContext& context, int acceptedHandle,
    std::string remoteAddress, std::string remotePort, TChatStyle startStyle)
    : TThread(context.Dispatcher)
    , Context(context)
    , AcceptedHandle(acceptedHandle)
    , RemoteAddress(std::move(remoteAddress))
    , RemotePort(std::move(remotePort))
    , StartStyle(startStyle)
    , Own(context.ReadOwnName ? context.ReadOwnName() : std::string(DefaultUserName))
    , Engine(Relay, Sender, context.Ticks, Own)
{
    Context.LiveConversations.fetch_add(1);
    SetFreeOnTerminate(true);
    Relay.SetAfterDrawAttention([this] { AttentionDue.store(true); });
    Socket.SetConnectTimeout(static_cast<std::int32_t>(Context.Limits.ConnectTimeout.count()));
    if (Context.HostLookup)
        Socket.SetHostLookup(Context.HostLookup);
    Socket.OnStatus = [this](TBlockSocket&, THookSocketReason reason, const std::string& value) {
        SocketStatus(reason, value);
    };
}

TChatClient::~TChatClient()
{
    // The hook refers to this object; the socket's own destruction reports its close.
    Socket.OnStatus = nullptr;
    Context.LiveConversations.fetch_sub(1);
}

void TChatClient::RunOnView(const std::function<void(IConversationView&)>& step)
{
    RunOnMainThread([this, &step] {
        // What was received before comes first.
        Engine.ShowDecided();
        if (View)
            step(*View);
    });
}

void TChatClient::HandOver()
{
    // A burst that arrives in several chunks is then shown in one pass of the event loop.
    const auto show = [this] { Engine.ShowDecided(PassBytes); };
    if (Engine.UndisplayedBytes() > ReadAheadBytes)
        RunOnMainThread([this] { Engine.ShowDecided(); });
    else
        Dispatcher().Post(show);
}

void TChatClient::AddStatusLine(const std::string& text)
{
    RunOnView([&text](IConversationView& view) { view.WriteStatusLine(text); });
}

void TChatClient::ThreadMain()
{
    const auto buildView = [this] {
        View = Context.Views.CreateView(*this);
        Relay.SetTarget(View.get());
    };
    // A caller is answered without waiting for its tab: when a crowd calls at once, every tab
    // is built on the main thread behind all the others. So an incoming conversation queues the
    // steps that build and fill its tab and goes on to take the connection over and read; its
    // later trips to the main thread come after them, in order.
    if (IsIncoming()) {
        Connected.store(true);
        Dispatcher().Post([this, buildView] {
            buildView();
            if (View) {
                View->WriteStatusLine("Connected");
                View->ClearTranscript();
            }
        });
    } else {
        RunOnMainThread(buildView);
    }
    std::exception_ptr error;
    try {
        if (!IsIncoming()) {
            Dial();
        } else {
            Socket.AdoptHandle(AcceptedHandle);
        }
        // A Disconnect or close-all made before the connection stood found no socket to close.
        if (HangupRequested.load())
            Socket.Close();

        // A call that never connected keeps the address and port it was dialed at.
        Socket.RefreshEndpoints();
        const std::string address = Socket.PeerAddressText();
        const std::string port = std::to_string(Socket.PeerPort());
        const auto showPeer = [this, address, port] {
            if (!View)
                return;
            if (!address.empty()) {
                if (IsIncoming())
                    View->ShowPeerAddress(address, port);
                View->ShowConnectionInfo("IP: " + address + " -- PORT: " + port);
            }
            View->RefreshControls();
        };
        // A caller's tab may still be on its way (its building is queued, not waited for).
        if (IsIncoming())
            Dispatcher().Post(showPeer);
        else
            RunOnMainThread(showPeer);

        ReceiveLoop();
        if (OnConnectionEnded)
            OnConnectionEnded(*this);

        const std::string peerAddress = Socket.PeerAddressText();
        if (!Context.ExitInProgress.load() && Context.OfferAddUser) {
            RunOnMainThread([this, &peerAddress] {
                Engine.ShowDecided();
                Context.OfferAddUser(Engine.PeerNameUtf8(), peerAddress, Engine.Style());
            });
        }
        Ended.store(true);
        if (!IsIncoming() || Engine.PeerNamed()) {
            RunOnView([](IConversationView& view) {
                view.ShowEnded();
                view.RefreshControls();
            });
            WaitForCloseRequest();
        }
    } catch (...) {
        // The tab goes away first; the thread then reports the error.
        error = std::current_exception();
    }
    RunOnMainThread([this] {
        Engine.ShowDecided();
        Relay.SetTarget(nullptr);
        View.reset();
    });
    if (error)
        std::rethrow_exception(error);
}

void TChatClient::Dial()
{
    Connected.store(false);
    RunOnView([this](IConversationView& view) {
        view.ShowAsDialed();
        view.ShowPeerAddress(RemoteAddress, RemotePort);
        view.ShowConnectionInfo("IP: " + RemoteAddress + " -- PORT: " + RemotePort);
    });
    AddStatusLine("Connecting to " + RemoteAddress + " on port " + RemotePort);
    Socket.SetNonBlockingMode(false);
    // On success the status hook has sent the greeting and emptied the transcript; on failure
    // it has written "Disconnected", which the reason follows.
    Socket.Connect(RemoteAddress, RemotePort);
    const std::int32_t code = Socket.ErrorCode();
    if (!Connected.load() && !HangupRequested.load()) {
        const std::string reason
            = CallFailureReason(code, RemoteAddress, RemotePort, Socket.ConnectTimeout());
        if (!reason.empty())
            AddStatusLine(reason);
    }
    RunOnMainThread([this] {
        Engine.AnnounceStartStyle(StartStyle);
        if (View)
            View->SwitchStyle(StartStyle, StartStyle);
    });
}

bool TChatClient::CallerNameOverdue(std::chrono::steady_clock::time_point since) const
{
    return IsIncoming() && !Engine.PeerNamed()
        && std::chrono::steady_clock::now() - since >= Context.Limits.NameTimeout;
}

void TChatClient::ReceiveLoop()
{
    const auto since = std::chrono::steady_clock::now();
    do {
        // What the main thread could not hand over at once goes first: a peer that does not read
        // what it is owed is not read from either.
        if (Engine.BacklogBytes() > 0)
            Engine.SendBacklog();
        int code = 0;
        if (Socket.WaitReadable(ReceiveWaitMs)) {
            const std::string received = Socket.ReceiveChunk(ReceiveWaitMs);
            code = Socket.ErrorCode();
            if (!received.empty() && code == 0) {
                // The greeting and the echoes leave now; the window follows.
                Engine.DecideIncoming(received);
                HandOver();
            }
        } else {
            code = Socket.ErrorCode();
        }
        if (code == sockerr::ConnectionReset)
            break;
        if (CallerNameOverdue(since)) {
            Socket.Close();
            break;
        }
        Engine.TypingTick();
        // Crossing to the main thread costs a context switch each way: an idle conversation
        // only makes the trip while its tab is lit for attention.
        if (AttentionDue.load()) {
            RunOnMainThread(
                [this] { AttentionDue.store(View != nullptr && View->AttentionTick()); });
        }
    } while (Connected.load());
}

void TChatClient::WaitForCloseRequest()
{
    // Woken at once by a close request; the interval only bounds a missed wake-up.
    std::unique_lock<std::mutex> lock(CloseLock);
    while (!CloseWanted.load())
        CloseSignal.wait_for(lock, ClosePollInterval);
}

void TChatClient::RequestClose()
{
    {
        const std::lock_guard<std::mutex> guard(CloseLock);
        CloseWanted.store(true);
    }
    CloseSignal.notify_all();
}

void TChatClient::DisconnectButtonClick()
{
    if (Ended.load())
        RequestClose();
    // Set before the close: the thread looks at it once the connection stands, so a close that
    // comes too early for the socket is not lost.
    HangupRequested.store(true);
    Socket.Close();
}

void TChatClient::Hangup()
{
    HangupRequested.store(true);
    Socket.DropHandle();
}

void TChatClient::SocketStatus(THookSocketReason reason, const std::string&)
{
    if (Disconnected.load())
        return;
    switch (reason) {
    case THookSocketReason::HR_SocketClose:
        Connected.store(false);
        break;
    case THookSocketReason::HR_ResolvingBegin:
        // A Disconnect made before the attempt began found nothing to call off: it is taken
        // up here, where a Close calls the attempt off.
        if (HangupRequested.load())
            Socket.Close();
        break;
    case THookSocketReason::HR_Error:
        // Both threads can meet an error at once; one of them tells the user.
        if (DisconnectClaimed.exchange(true))
            return;
        AddStatusLine("Disconnected");
        Socket.Close();
        Connected.store(false);
        RunOnView([](IConversationView& view) { view.RefreshControls(); });
        Disconnected.store(true);
        break;
    case THookSocketReason::HR_Connect:
        Connected.store(true);
        RunOnView([](IConversationView& view) { view.RefreshControls(); });
        AddStatusLine("Connected");
        Engine.SendGreeting();
        RunOnView([](IConversationView& view) { view.ClearTranscript(); });
        break;
    default:
        break;
    }
}

void TChatClient::TSocketSender::Send(std::string_view bytes)
{
    Socket.SendText(bytes);
}

std::size_t TChatClient::TSocketSender::SendAvailable(std::string_view bytes)
{
    return static_cast<std::size_t>(
        Socket.SendAvailableBytes(bytes.data(), static_cast<std::int32_t>(bytes.size())));
}

bool TChatClient::TSocketSender::WaitWritable(int timeoutMs)
{
    return Socket.WaitWritable(timeoutMs);
}

} // namespace quillet
