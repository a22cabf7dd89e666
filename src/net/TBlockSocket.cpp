#include "net/TBlockSocket.h"

#include "net/NumericAddress.h"
#include "net/SocketErrors.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quillet {
namespace {

using TClock = std::chrono::steady_clock;

// Close reads away what is still waiting before it lets go of the handle, so that the system
// ends the connection with an orderly close rather than a reset. A peer that keeps sending
// must not hold the caller (often the main thread) for ever: the drain stops after this many
// chunks and the handle is dropped regardless.
constexpr int MaxDrainChunks = 16;

void SetNoDelay(int fd)
{
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
}

// Milliseconds left of a wait that started at `start`; negative `timeoutMs` means no limit.
int RemainingMs(std::int32_t timeoutMs, TClock::time_point start)
{
    if (timeoutMs < 0)
        return -1;
    const auto spent
        = std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - start).count();
    return spent >= timeoutMs ? 0 : static_cast<int>(timeoutMs - spent);
}

// Waits until a connect in progress on `fd` has ended: 0 once connected, otherwise the errno it
// failed with (ETIMEDOUT when `deadline` passed first).
int AwaitConnection(int fd, std::optional<TClock::time_point> deadline)
{
    pollfd entry { fd, POLLOUT, 0 };
    for (;;) {
        int timeoutMs = -1;
        if (deadline) {
            const auto left = *deadline - TClock::now();
            if (left <= TClock::duration::zero())
                return ETIMEDOUT;
            // Rounded up, so that the wait never ends just before the deadline and spins.
            timeoutMs
                = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
        }
        entry.revents = 0;
        const int ready = ::poll(&entry, 1, timeoutMs);
        if (ready > 0)
            break;
        if (ready == -1 && errno != EINTR)
            return errno;
    }
    int err = 0;
    socklen_t length = sizeof(err);
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &length) != 0)
        return errno;
    return err;
}

} // namespace

TBlockSocket::TDescriptor::~TDescriptor()
{
    ::close(Fd);
}

TBlockSocket::TBlockSocket() = default;

TBlockSocket::~TBlockSocket()
{
    // Runs after the derived parts are gone, so this is the base Close: none of the subclasses
    // changes what closing does.
    TBlockSocket::Close();
}

std::int32_t TBlockSocket::Handle() const
{
    const std::lock_guard guard(Lock);
    return Current ? Current->Fd : -1;
}

TSocketEndpoint TBlockSocket::LocalEndpoint() const
{
    const std::lock_guard guard(Lock);
    return Local;
}

TSocketEndpoint TBlockSocket::RemoteEndpoint() const
{
    const std::lock_guard guard(Lock);
    return Remote;
}

std::int32_t TBlockSocket::ErrorCode() const
{
    const std::lock_guard guard(Lock);
    const auto self = std::this_thread::get_id();
    for (const auto& [thread, code] : ThreadErrors)
        if (thread == self)
            return code;
    return 0;
}

std::string TBlockSocket::GetErrorDesc(std::int32_t code)
{
    return SocketErrorDesc(code);
}

TBlockSocket::TDescriptorRef TBlockSocket::UseHandle() const
{
    const std::lock_guard guard(Lock);
    return Current;
}

// --- common steps ---

void TBlockSocket::SetErrorCode(std::int32_t code)
{
    const std::lock_guard guard(Lock);
    SetErrorCodeLocked(code);
}

void TBlockSocket::SetErrorCodeLocked(std::int32_t code)
{
    const auto self = std::this_thread::get_id();
    const auto entry = std::find_if(ThreadErrors.begin(), ThreadErrors.end(),
        [self](const auto& e) { return e.first == self; });
    if (code == 0) {
        if (entry != ThreadErrors.end())
            ThreadErrors.erase(entry);
    } else if (entry != ThreadErrors.end()) {
        entry->second = code;
    } else {
        ThreadErrors.emplace_back(self, code);
    }
}

void TBlockSocket::ReportStatus(THookSocketReason reason, const std::string& value)
{
    if (!OnStatus)
        return;
    // The hook may run operations of its own on this socket (a Close after an error, a greeting
    // after the connect); the operation that reported keeps its code for its caller.
    const std::int32_t own = ErrorCode();
    OnStatus(*this, reason, value);
    SetErrorCode(own);
}

void TBlockSocket::CheckResult(long result, int err)
{
    if (result == -1)
        SetErrorCode(err != 0 ? SocketErrorFromErrno(err) : sockerr::NotSocket);
    else
        SetErrorCode(0);
}

void TBlockSocket::ReportError()
{
    const std::int32_t code = ErrorCode();
    if (code == 0 || code == sockerr::WouldBlock || code == sockerr::InProgress)
        return;
    ReportStatus(THookSocketReason::HR_Error, std::to_string(code) + "," + GetErrorDesc(code));
}

// --- resolve and create ---

void TBlockSocket::Resolve(const std::string& address, const std::string& port,
    TSocketEndpoint& target, bool abandonable, TDeadline deadline)
{
    const std::string value = address + ":" + port;
    ReportStatus(THookSocketReason::HR_ResolvingBegin, value);
    SetErrorCode(0);

    // Before the handle exists a numeric address decides the family; otherwise IPv4 is asked
    // for first, then IPv6.
    std::vector<int> families { AF_INET, AF_INET6 };
    if (Handle() == -1 && IsNumericIP4(address))
        families = { AF_INET };
    else if (Handle() == -1 && IsNumericIP6(address))
        families = { AF_INET6 };
    // A numeric address needs no name service: only a host name is worth a thread of its own.
    const bool name = abandonable && !IsNumericIP4(address) && !IsNumericIP6(address);
    int code = 0;
    if (name) {
        code = LookUpAbandonably(address, port, families, target, deadline);
    } else {
        const THostLookupFunction lookup = LookupFunction();
        for (const int family : families) {
            code = lookup(address, port, family, SocketType(), SocketProtocol(), target);
            if (code == 0)
                break;
        }
    }
    SetErrorCode(code);
    ReportStatus(THookSocketReason::HR_ResolvingEnd, value);
}

THostLookupFunction TBlockSocket::LookupFunction() const
{
    if (HostLookup)
        return HostLookup;
    return &TSocketEndpoint::Resolve;
}

int TBlockSocket::LookUpAbandonably(const std::string& address, const std::string& port,
    const std::vector<int>& families, TSocketEndpoint& target, TDeadline deadline)
{
    if (!LookupQueue)
        LookupQueue = std::make_shared<THostLookupQueue>();
    THostLookup lookup(
        *LookupQueue, LookupFunction(), address, port, families, SocketType(), SocketProtocol());
    bool calledOff = false;
    {
        const std::lock_guard guard(Lock);
        calledOff = ConnectCalledOff;
        if (calledOff)
            lookup.Abandon();
        else
            PendingLookup = &lookup;
    }
    if (lookup.WaitsForTurn() && !calledOff)
        ReportStatus(THookSocketReason::HR_ResolvingQueued, address + ":" + port);
    const THostLookup::TOutcome outcome = lookup.Wait(deadline);
    {
        const std::lock_guard guard(Lock);
        PendingLookup = nullptr;
    }
    switch (outcome) {
    case THostLookup::TOutcome::Ended:
        if (lookup.Code() == 0)
            target = lookup.Target();
        return lookup.Code();
    case THostLookup::TOutcome::Abandoned:
        return sockerr::NotSocket; // as any operation on a closed socket
    case THostLookup::TOutcome::TimedOut:
        break;
    }
    return sockerr::TimedOut;
}

void TBlockSocket::CreateSocket(int family)
{
    ReceivedCount.store(0);
    SentCount.store(0);
    {
        const std::lock_guard guard(Lock);
        SetErrorCodeLocked(0);
        if (Current)
            return;
        UsesIPv6Flag.store(family == AF_INET6);
        const int fd = ::socket(family, SocketType() | SOCK_CLOEXEC, SocketProtocol());
        if (fd == -1) {
            SetErrorCodeLocked(SocketErrorFromErrno(errno));
        } else {
            Current = std::make_shared<TDescriptor>(fd);
            // Applied here rather than after the reports below so that no option set by another
            // thread meanwhile can be overtaken by an older pending one.
            for (const TSocketOption& option : PendingOptions)
                ApplyOption(fd, option);
        }
        PendingOptions.clear();
    }
    ReportError();
    ReportStatus(THookSocketReason::HR_SocketCreate, family == AF_INET6 ? "IPv6" : "IPv4");
}

// --- options ---

void TBlockSocket::AddOption(const TSocketOption& option)
{
    const std::lock_guard guard(Lock);
    if (Current)
        ApplyOption(Current->Fd, option);
    else
        PendingOptions.push_back(option);
}

void TBlockSocket::ApplyOption(int fd, const TSocketOption& option)
{
    // Results are ignored: a failed option is no error of the operation that set it.
    switch (option.Kind) {
    case TSocketOption::TKind::Linger: {
        linger value {};
        value.l_onoff = option.Enabled ? 1 : 0;
        value.l_linger = option.Value / 1000; // whole seconds, rounded down
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &value, sizeof(value));
        break;
    }
    case TSocketOption::TKind::NonBlocking: {
        int on = option.Enabled ? 1 : 0;
        ::ioctl(fd, FIONBIO, &on);
        break;
    }
    }
}

void TBlockSocket::SetLingerOption(bool enabled, std::int32_t timeMs)
{
    AddOption({ TSocketOption::TKind::Linger, enabled, timeMs });
}

void TBlockSocket::SetNonBlockingMode(bool nonBlocking)
{
    AddOption({ TSocketOption::TKind::NonBlocking, nonBlocking, 0 });
}

// --- listening side ---

void TBlockSocket::Bind(const std::string& address, const std::string& port)
{
    SetErrorCode(0);
    TSocketEndpoint target;
    Resolve(address, port, target);
    if (ErrorCode() == 0) {
        if (Handle() == -1)
            CreateSocket(target.Family());
        TSocketEndpoint bound;
        if (const TDescriptorRef handle = UseHandle()) {
            // Bind is the listener's step: a restart must not be refused while connections of
            // the previous run linger in TIME_WAIT.
            const int on = 1;
            ::setsockopt(handle->Fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
            const int result = ::bind(handle->Fd, target.Address(), target.Size());
            CheckResult(result, errno);
            bound = TSocketEndpoint::OfLocal(handle->Fd);
        } else {
            SetErrorCode(sockerr::NotSocket);
        }
        const std::lock_guard guard(Lock);
        Local = bound;
    }
    ReportError();
    ReportStatus(THookSocketReason::HR_Bind, address + ":" + port);
}

std::int32_t TBlockSocket::Accept()
{
    int accepted = -1;
    if (const TDescriptorRef handle = UseHandle()) {
        sockaddr_storage peer {};
        socklen_t length = sizeof(peer);
        int err = 0;
        do {
            length = sizeof(peer);
            accepted
                = ::accept4(handle->Fd, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
            err = errno;
        } while (accepted == -1 && err == EINTR);
        if (accepted != -1) {
            const std::lock_guard guard(Lock);
            Remote = TSocketEndpoint(reinterpret_cast<const sockaddr*>(&peer), length);
        }
        CheckResult(accepted, err);
    } else {
        SetErrorCode(sockerr::NotSocket);
    }
    ReportError();
    ReportStatus(THookSocketReason::HR_Accept, {});
    return accepted;
}

// --- connected side ---

void TBlockSocket::Connect(const std::string& address, const std::string& port)
{
    {
        const std::lock_guard guard(Lock);
        Connecting = true;
        ConnectCalledOff = false;
    }
    TDeadline deadline;
    if (const std::int32_t limit = ConnectTimeout(); limit > 0)
        deadline = TClock::now() + std::chrono::milliseconds(limit);
    TSocketEndpoint target;
    Resolve(address, port, target, true, deadline);
    if (ErrorCode() == 0) {
        if (Handle() == -1)
            CreateSocket(target.Family());
        if (const TDescriptorRef handle = HandleForConnect())
            ConnectHandle(handle, target, deadline);
        else
            SetErrorCode(sockerr::NotSocket);
    }
    {
        const std::lock_guard guard(Lock);
        Connecting = false;
    }
    ReportError();
    ReportStatus(THookSocketReason::HR_Connect, address + ":" + port);
}

TBlockSocket::TDescriptorRef TBlockSocket::HandleForConnect()
{
    TDescriptorRef retired;
    {
        const std::lock_guard guard(Lock);
        if (!ConnectCalledOff)
            return Current;
        // Closed while the name was looked up, before this handle existed: the close holds.
        retired = RetireLocked();
    }
    return {};
}

void TBlockSocket::ConnectHandle(
    const TDescriptorRef& handle, const TSocketEndpoint& target, TDeadline deadline)
{
    // The wait for the other side is a poll rather than a blocking connect, so that it keeps
    // the deadline and a Close from the other thread (whose shutdown wakes the poll) ends it.
    // A handle made non-blocking on purpose keeps the system's "in progress" answer.
    const int flags = ::fcntl(handle->Fd, F_GETFL);
    const bool waitHere = flags != -1 && (flags & O_NONBLOCK) == 0;
    if (waitHere)
        ::fcntl(handle->Fd, F_SETFL, flags | O_NONBLOCK);
    int result = ::connect(handle->Fd, target.Address(), target.Size());
    int err = errno;
    if (result == -1 && waitHere && (err == EINPROGRESS || err == EINTR)) {
        err = AwaitConnection(handle->Fd, deadline);
        result = err == 0 ? 0 : -1;
    }
    if (waitHere)
        ::fcntl(handle->Fd, F_SETFL, flags);
    if (handle->Closed.load()) {
        result = -1;
        SetErrorCode(sockerr::NotSocket);
    } else {
        CheckResult(result, err);
    }
    if (result == 0) {
        // Keystrokes travel as single bytes and must not wait for coalescing.
        SetNoDelay(handle->Fd);
        RefreshEndpoints();
    }
}

bool TBlockSocket::AdoptHandle(std::int32_t handle)
{
    ReceivedCount.store(0);
    SentCount.store(0);
    TDescriptorRef previous;
    {
        const std::lock_guard guard(Lock);
        // An object that still holds a handle gives it up quietly: it would otherwise leak.
        previous = RetireLocked();
        if (handle >= 0)
            Current = std::make_shared<TDescriptor>(handle);
    }
    previous.reset();
    if (handle >= 0)
        SetNoDelay(handle);
    RefreshEndpoints();
    UsesIPv6Flag.store(RemoteEndpoint().Family() == AF_INET6);
    return UsesIPv6Flag.load();
}

TBlockSocket::TDescriptorRef TBlockSocket::RetireLocked()
{
    TDescriptorRef retired = std::move(Current);
    if (retired) {
        // Mark first: a thread woken by the shutdown must find the mark.
        retired->Closed.store(true);
        ::shutdown(retired->Fd, SHUT_RDWR);
    }
    return retired;
}

void TBlockSocket::RefreshEndpoints()
{
    TSocketEndpoint local;
    TSocketEndpoint remote;
    if (const TDescriptorRef handle = UseHandle()) {
        local = TSocketEndpoint::OfLocal(handle->Fd);
        remote = TSocketEndpoint::OfPeer(handle->Fd);
    }
    const std::lock_guard guard(Lock);
    Local = local;
    Remote = remote;
}

std::string TBlockSocket::LocalAddressText()
{
    return LocalEndpoint().AddressText();
}

std::string TBlockSocket::PeerAddressText()
{
    return RemoteEndpoint().AddressText();
}

std::int32_t TBlockSocket::LocalPort()
{
    return LocalEndpoint().Port();
}

std::int32_t TBlockSocket::PeerPort()
{
    return RemoteEndpoint().Port();
}

// --- waits ---

bool TBlockSocket::WaitFor(short events, short readyEvents, std::int32_t timeoutMs,
    THookSocketReason readyReason, int wakeFd)
{
    bool ready = false;
    if (const TDescriptorRef handle = UseHandle()) {
        pollfd entries[2] = { { handle->Fd, events, 0 }, { wakeFd, POLLIN, 0 } };
        const nfds_t count = wakeFd >= 0 ? 2 : 1;
        const auto start = TClock::now();
        int result = 0;
        int err = 0;
        do {
            entries[0].revents = 0;
            entries[1].revents = 0;
            result = ::poll(entries, count, RemainingMs(timeoutMs, start));
            err = errno;
        } while (result == -1 && err == EINTR);
        if (handle->Closed.load()) {
            // Closed by the other thread while waiting: its shutdown is what woke the poll.
            SetErrorCode(sockerr::NotSocket);
        } else {
            CheckResult(result, err);
            ready = result > 0 && (entries[0].revents & readyEvents) != 0;
        }
    } else {
        SetErrorCode(sockerr::NotSocket);
    }
    ReportError();
    if (ready)
        ReportStatus(readyReason, {});
    return ready;
}

bool TBlockSocket::WaitReadable(std::int32_t timeoutMs)
{
    return WaitReadableOrWoken(timeoutMs, -1);
}

bool TBlockSocket::WaitReadableOrWoken(std::int32_t timeoutMs, int wakeFd)
{
    // An ended or failed connection counts as readable, so that the following receive finds
    // out how it ended.
    return WaitFor(
        POLLIN, POLLIN | POLLHUP | POLLERR, timeoutMs, THookSocketReason::HR_CanRead, wakeFd);
}

bool TBlockSocket::WaitWritable(std::int32_t timeoutMs)
{
    return WaitFor(POLLOUT, POLLOUT, timeoutMs, THookSocketReason::HR_CanWrite);
}

// --- sending ---

std::int32_t TBlockSocket::SendPieces(
    const TDescriptor& handle, const char* bytes, std::int32_t length, int flags, bool& failed)
{
    std::int32_t total = 0;
    failed = false;
    while (total < length) {
        const std::int32_t piece = std::min(length - total, SendMaxChunk());
        ssize_t sent = 0;
        int err = 0;
        do {
            sent = ::send(
                handle.Fd, bytes + total, static_cast<std::size_t>(piece), MSG_NOSIGNAL | flags);
            err = errno;
        } while (sent == -1 && err == EINTR);
        if (sent == -1 && (flags & MSG_DONTWAIT) != 0 && (err == EAGAIN || err == EWOULDBLOCK))
            break;
        CheckResult(sent, err);
        if (sent == -1) {
            failed = true;
            break;
        }
        const auto count = static_cast<std::int32_t>(sent);
        total += count;
        SentCount.fetch_add(count);
        ReportStatus(THookSocketReason::HR_WriteCount, std::to_string(count));
    }
    return total;
}

std::int32_t TBlockSocket::SendBytes(const void* data, std::int32_t length)
{
    if (length <= 0) {
        SetErrorCode(0);
        return 0;
    }
    std::int32_t total = 0;
    {
        const std::lock_guard sendGuard(SendLock);
        bool failed = false;
        if (const TDescriptorRef handle = UseHandle())
            total = SendPieces(*handle, static_cast<const char*>(data), length, 0, failed);
        else
            SetErrorCode(sockerr::NotSocket);
    }
    ReportError();
    return total;
}

std::int32_t TBlockSocket::SendByte(std::uint8_t value)
{
    return SendBytes(&value, 1);
}

void TBlockSocket::SendText(std::string_view text)
{
    SendBytes(text.data(), static_cast<std::int32_t>(text.size()));
}

std::int32_t TBlockSocket::SendAvailableBytes(const void* data, std::int32_t length)
{
    SetErrorCode(0);
    if (length <= 0)
        return 0;
    std::int32_t total = 0;
    bool failed = false;
    {
        const std::unique_lock sendGuard(SendLock, std::try_to_lock);
        if (!sendGuard.owns_lock())
            return 0;
        if (const TDescriptorRef handle = UseHandle()) {
            total
                = SendPieces(*handle, static_cast<const char*>(data), length, MSG_DONTWAIT, failed);
        } else {
            SetErrorCode(sockerr::NotSocket);
            failed = true;
        }
    }
    ReportError();
    return failed ? length : total;
}

// --- receiving ---

std::int32_t TBlockSocket::ReceiveOnce(char* buffer, std::int32_t room)
{
    ssize_t received = -1;
    if (const TDescriptorRef handle = UseHandle()) {
        int err = 0;
        do {
            received = ::recv(handle->Fd, buffer, static_cast<std::size_t>(room), 0);
            err = errno;
        } while (received == -1 && err == EINTR);
        if (handle->Closed.load()) {
            // Closed by the other thread meanwhile: nothing read after the close is handed out.
            received = -1;
            SetErrorCode(sockerr::NotSocket);
        } else if (received == 0) {
            SetErrorCode(sockerr::ConnectionReset); // the peer closed in order
        } else {
            CheckResult(received, err);
        }
    } else {
        SetErrorCode(sockerr::NotSocket);
    }
    ReportError();
    if (received <= 0)
        return 0;
    const auto count = static_cast<std::int32_t>(received);
    ReceivedCount.fetch_add(count);
    ReportStatus(THookSocketReason::HR_ReadCount, std::to_string(count));
    return count;
}

std::string TBlockSocket::ReceiveChunk(std::int32_t timeoutMs)
{
    std::string result;
    SetErrorCode(0);

    auto receive = [&](std::int32_t room) {
        result.resize(static_cast<std::size_t>(room));
        result.resize(static_cast<std::size_t>(ReceiveOnce(result.data(), room)));
    };
    // The single receive has reported its own code already; only codes set here are reported
    // below, so that one failure is not reported twice.
    bool reportHere = true;
    std::int32_t pending = PendingBytes();
    if (pending > 0) {
        receive(pending);
        reportHere = false;
    } else if (WaitReadable(timeoutMs)) {
        pending = PendingBytes();
        if (pending == 0) {
            SetErrorCode(sockerr::ConnectionReset); // readable with nothing waiting: closed
        } else {
            receive(pending);
            reportHere = false;
        }
    } else {
        SetErrorCode(sockerr::TimedOut);
    }
    if (reportHere)
        ReportError();
    return result;
}

std::int32_t TBlockSocket::PendingBytes()
{
    const TDescriptorRef handle = UseHandle();
    int count = 0;
    if (!handle || ::ioctl(handle->Fd, FIONREAD, &count) != 0 || count < 0)
        return 0;
    return std::min<std::int32_t>(count, MaxPendingBytes);
}

// --- closing ---

void TBlockSocket::Close()
{
    bool connecting = false;
    {
        const std::lock_guard guard(Lock);
        connecting = Connecting;
    }
    // A connection still being made has nothing to drain, and half-closing it would end the
    // attempt before the closed mark is set, as though the other side had reset it.
    if (const TDescriptorRef handle = connecting ? TDescriptorRef() : UseHandle()) {
        ::shutdown(handle->Fd, SHUT_WR);
        for (int chunk = 0; chunk < MaxDrainChunks; ++chunk) {
            if (PendingBytes() < 1)
                break;
            ReceiveChunk(0);
            if (ErrorCode() != 0)
                break;
        }
        SetErrorCode(0);
    }
    DropHandle();
}

void TBlockSocket::DropHandle()
{
    TDescriptorRef retired;
    {
        const std::lock_guard guard(Lock);
        retired = RetireLocked();
        PendingOptions.clear();
        SetErrorCodeLocked(0);
        if (Connecting)
            ConnectCalledOff = true;
        if (PendingLookup != nullptr)
            PendingLookup->Abandon();
    }
    // Closes the descriptor now, or when the last operation still running on it ends.
    retired.reset();
    ReportStatus(THookSocketReason::HR_SocketClose, {});
}

} // namespace quillet
