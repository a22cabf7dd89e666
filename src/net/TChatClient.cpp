#include "net/TChatClient.h"

#include "net/CallFailure.h"
#include "net/SocketErrors.h"
#include "settings/Settings.h"

#include <algorithm>
#include <climits>
#include <optional>

namespace quillet {
namespace {

// What a receive that follows a readable wait may take to find its bytes.
constexpr int ReceiveWaitMs = 300;
// Without a wake-up signal (the system had no descriptor to give) the receive loop cannot be
// woken, so it looks at its deadlines this often instead.
constexpr int UnwokenSleepMs = 300;
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
    , Own(context.ReadOwnName ? context.ReadOwnName() : std::string(settings::DefaultUserName))
    , Engine(Relay, Sender, context.Ticks, Own)
{
    Context.LiveConversations.fetch_add(1);
    SetOnJoined([this](TThread&) { ThreadJoined(); });
    Engine.SetOnThreadWork([this] { Wake.Wake(); });
    Socket.SetConnectTimeout(static_cast<std::int32_t>(Context.Limits.ConnectTimeout.count()));
    if (Context.HostLookup)
        Socket.SetHostLookup(Context.HostLookup);
    Socket.SetLookupQueue(Context.Lookups);
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
            KeepTab.store(true);
        }
    } catch (...) {
        // The tab goes away first; the thread then reports the error.
        error = std::current_exception();
        KeepTab.store(false);
        RunOnMainThread([this] { LetTabGo(); });
    }
    // Nothing of the connection outlives the thread.
    Socket.DropHandle();
    Wake.Close();
    if (error)
        std::rethrow_exception(error);
}

void TChatClient::ThreadJoined()
{
    ThreadGone = true;
    if (CloseWanted.load() || !KeepTab.load())
        Remove();
}

void TChatClient::LetTabGo()
{
    // What was received before is shown first: the end offers the name it completed.
    Engine.ShowDecided();
    Relay.SetTarget(nullptr);
    View.reset();
}

void TChatClient::Remove()
{
    LetTabGo();
    if (OnRemoved)
        OnRemoved(*this);
    delete this;
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

int TChatClient::SleepMs(std::chrono::steady_clock::time_point since) const
{
    using std::chrono::milliseconds;
    std::optional<milliseconds> sleep;
    if (IsIncoming() && !Engine.PeerNamed()) {
        const auto waited
            = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - since);
        sleep = std::max(milliseconds(0), Context.Limits.NameTimeout - waited);
    }
    if (std::optional<TTick> typing = Engine.TypingDueInMs()) {
        if (const std::optional<TTick> look = Context.Ticks.LookAgainAfterMs())
            typing = std::min(*typing, *look);
        sleep = std::min(sleep.value_or(milliseconds::max()), milliseconds(*typing));
    }
    if (Wake.Fd() < 0)
        sleep = std::min(sleep.value_or(milliseconds::max()), milliseconds(UnwokenSleepMs));
    if (!sleep)
        return -1;
    return static_cast<int>(std::min<milliseconds::rep>(sleep->count(), INT_MAX));
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
        const bool readable = Socket.WaitReadableOrWoken(SleepMs(since), Wake.Fd());
        // Cleared before the deadlines are looked at again: a wake-up that comes after this
        // is for a change they do not show yet. Not after bytes arrived (one call fewer per
        // chunk): a wake-up left set ends the next wait at once and is cleared then.
        if (!readable)
            Wake.Clear();
        if (readable) {
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
    } while (Connected.load());
}

void TChatClient::RequestClose()
{
    CloseWanted.store(true);
    // While the thread runs, it finds the request when it ends. Removal is queued: close-all
    // asks every conversation in turn, holding the listener's list.
    if (ThreadGone && !RemovalPosted) {
        RemovalPosted = true;
        Dispatcher().Post([this] { Remove(); });
    }
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
    case THookSocketReason::HR_ResolvingQueued:
        AddStatusLine("Waiting while other calls look up host names");
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
