#pragma once

#include "net/THostLookup.h"
#include "net/TSocketEndpoint.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace quillet {

// What a status report is about. The values are fixed (0 to 13); 12 belonged to bandwidth
// limiting, which this layer does not have. 14 is this layer's own: a Connect's host-name lookup
// waits for its turn behind others (THostLookupQueue), reported between HR_ResolvingBegin and
// HR_ResolvingEnd.
enum class THookSocketReason : std::uint8_t {
    HR_ResolvingBegin = 0,
    HR_ResolvingEnd = 1,
    HR_SocketCreate = 2,
    HR_SocketClose = 3,
    HR_Bind = 4,
    HR_Connect = 5,
    HR_CanRead = 6,
    HR_CanWrite = 7,
    HR_Listen = 8,
    HR_Accept = 9,
    HR_ReadCount = 10,
    HR_WriteCount = 11,
    HR_Error = 13,
    HR_ResolvingQueued = 14,
};

class TBlockSocket;

// Called on the thread that performs the operation, with no lock of the socket held: the hook may
// call any operation of the socket, Close included.
using THookSocketStatus
    = std::function<void(TBlockSocket& sender, THookSocketReason reason, const std::string& value)>;

// An option set while no handle exists waits in the pending list and is applied when the handle
// is created.
struct TSocketOption {
    enum class TKind : std::uint8_t { Linger, NonBlocking };
    TKind Kind = TKind::Linger;
    bool Enabled = false;
    std::int32_t Value = 0; // linger time in milliseconds
};

// A blocking socket: every operation returns when it is done or its timeout has run out, none
// throws, and each leaves an error code (Windows Sockets numbering, see SocketErrors.h) and
// reports real errors to the status hook.
//
// Two threads may use one object at once (a conversation's thread waits, reads and sends while
// the main thread sends and closes):
// - Lock guards the descriptor, the pending options, the endpoints and the error codes. It is
//   never held across a blocking call or a hook call.
// - The descriptor is shared (TDescriptor) by the object and by every operation running on it;
//   each operation takes its own reference under Lock. Close marks it closed and shuts it down
//   under Lock (which wakes a poll or recv in progress on the other thread) and drops the
//   object's reference; the system descriptor is closed when the last reference goes, so its
//   number cannot be handed to a new connection while an operation still uses it, and the object
//   never reaches it again.
// - SendLock makes each SendBytes call leave as one unit. It is recursive so that a hook called
//   from inside a send (HR_WriteCount) may send on the same socket. Lock order: SendLock, then
//   Lock; Close takes no SendLock, so it can always shut down a send that blocks.
// - Error codes are kept per calling thread in the object (ThreadErrors, under Lock), so a caller
//   reads the code of its own latest operation even when the other thread finishes one in
//   between. Kept in the object rather than in thread-local storage so that nothing outlives the
//   object or needs cleaning up when a thread ends. A report to the hook does not change the code
//   seen by the operation that reported, even when the hook runs operations of its own.
// - A Connect can be called off from the other thread: Close ends it at once, also while a host
//   name is still being looked up (the lookup is abandoned and its late result dropped) and while
//   the system waits for the other side to answer. The attempt then fails with 10038. A Close
//   made while no handle exists yet calls off the Connect in progress, never a later one.
class TBlockSocket {
public:
    static constexpr std::int32_t DefaultSendMaxChunk = 65536;
    static constexpr std::int32_t MaxPendingBytes = 65536;

    TBlockSocket();
    // Closes (reporting HR_SocketClose) and discards the pending options.
    virtual ~TBlockSocket();

    TBlockSocket(const TBlockSocket&) = delete;
    TBlockSocket& operator=(const TBlockSocket&) = delete;

    // The status hook; none by default. Assigned while the object is used by one thread only
    // (before a second thread starts using it, or after it has stopped): it is read unguarded.
    THookSocketStatus OnStatus;

    // Settings. The pieces a send is cut into: tests make them small to see other threads
    // between them.
    std::int32_t SendMaxChunk() const { return SendMaxChunkSetting.load(); }
    void SetSendMaxChunk(std::int32_t bytes) { SendMaxChunkSetting.store(bytes > 0 ? bytes : 1); }
    // How long a blocking Connect may take in all, the lookup of a host name included, before it
    // gives up with 10060; 0 or less leaves it to the system (minutes for an address where
    // nothing answers).
    std::int32_t ConnectTimeout() const { return ConnectTimeoutSetting.load(); }
    void SetConnectTimeout(std::int32_t ms) { ConnectTimeoutSetting.store(ms); }
    // How Connect and Bind turn names into addresses; the system resolver when none is set. Set
    // while the object is used by one thread only, as OnStatus.
    void SetHostLookup(THostLookupFunction lookup) { HostLookup = std::move(lookup); }
    // Where a Connect's host-name lookups take their turn, shared with other sockets; a queue of
    // this socket's own when none is set. Set as SetHostLookup.
    void SetLookupQueue(std::shared_ptr<THostLookupQueue> queue) { LookupQueue = std::move(queue); }

    // State.
    std::int32_t Handle() const;
    bool UsesIPv6() const { return UsesIPv6Flag.load(); }
    TSocketEndpoint LocalEndpoint() const;
    TSocketEndpoint RemoteEndpoint() const;
    std::int32_t BytesReceived() const { return ReceivedCount.load(); }
    std::int32_t BytesSent() const { return SentCount.load(); }
    // The code and text left by the calling thread's latest operation on this object.
    std::int32_t ErrorCode() const;
    std::string ErrorText() const { return GetErrorDesc(ErrorCode()); }

    static std::string GetErrorDesc(std::int32_t code);

    // The handle is created by the first Bind or Connect, in the family of the resolved address.
    void SetLingerOption(bool enabled, std::int32_t timeMs);
    void SetNonBlockingMode(bool nonBlocking);
    void Bind(const std::string& address, const std::string& port);
    // The new connection's handle, which the caller owns (hand it to AdoptHandle); -1 on failure.
    std::int32_t Accept();
    void RefreshEndpoints();

    bool AdoptHandle(std::int32_t handle);
    void Close();
    void DropHandle();
    void Connect(const std::string& address, const std::string& port);
    std::int32_t SendBytes(const void* data, std::int32_t length);
    std::int32_t SendByte(std::uint8_t value);
    void SendText(std::string_view text);
    // Sends as much of `data` as the connection takes without waiting (nothing while another
    // thread's send is under way) and returns how many bytes that was; after a failure (which is
    // reported as for SendBytes) it returns `length`.
    std::int32_t SendAvailableBytes(const void* data, std::int32_t length);
    std::int32_t ReceiveOnce(char* buffer, std::int32_t room);
    std::string ReceiveChunk(std::int32_t timeoutMs);
    std::int32_t PendingBytes();
    std::string LocalAddressText();
    std::string PeerAddressText();
    std::int32_t LocalPort();
    std::int32_t PeerPort();
    // A negative timeout waits without limit.
    bool WaitReadable(std::int32_t timeoutMs);
    // As WaitReadable, and also ends, false and without an error, as soon as `wakeFd` (another
    // thread's wake-up signal, left for the caller to clear) is readable; -1 waits for the
    // socket alone.
    bool WaitReadableOrWoken(std::int32_t timeoutMs, int wakeFd);
    bool WaitWritable(std::int32_t timeoutMs);
    // What kind of socket the subclass is (system socket type and protocol).
    virtual int SocketType() const = 0;
    virtual int SocketProtocol() const = 0;

protected:
    // A system descriptor shared by the object and the operations running on it; closed when
    // the last holder lets go.
    struct TDescriptor {
        explicit TDescriptor(int fd)
            : Fd(fd)
        {
        }
        ~TDescriptor();
        TDescriptor(const TDescriptor&) = delete;
        TDescriptor& operator=(const TDescriptor&) = delete;
        const int Fd;
        std::atomic<bool> Closed { false };
    };
    using TDescriptorRef = std::shared_ptr<TDescriptor>;

    // The current descriptor for one operation; empty when the object has no handle.
    TDescriptorRef UseHandle() const;

    void ReportStatus(THookSocketReason reason, const std::string& value);
    // Result r of a system call, with the errno it left: -1 is failure.
    void CheckResult(long result, int err);
    void ReportError();
    void SetErrorCode(std::int32_t code);

private:
    void SetErrorCodeLocked(std::int32_t code);
    // Takes the descriptor from the object, marked closed and shut down so that an operation of
    // another thread still on it wakes and stops; the caller lets go of it with Lock released.
    TDescriptorRef RetireLocked();
    using TDeadline = std::optional<std::chrono::steady_clock::time_point>;
    // Resolves into `target`; leaves the resolver's code as the error code. For a Connect
    // (`abandonable`), a host name is looked up on a thread of its own, so that a Close or the
    // deadline ends the wait for it.
    void Resolve(const std::string& address, const std::string& port, TSocketEndpoint& target,
        bool abandonable = false, TDeadline deadline = std::nullopt);
    THostLookupFunction LookupFunction() const;
    int LookUpAbandonably(const std::string& address, const std::string& port,
        const std::vector<int>& families, TSocketEndpoint& target, TDeadline deadline);
    // The handle a Connect is to use; empty (and a handle made meanwhile let go of) when a Close
    // has called the attempt off.
    TDescriptorRef HandleForConnect();
    // Connects `handle`, waiting for the other side until `deadline` unless the handle was made
    // non-blocking.
    void ConnectHandle(
        const TDescriptorRef& handle, const TSocketEndpoint& target, TDeadline deadline);
    void CreateSocket(int family);
    void AddOption(const TSocketOption& option);
    static void ApplyOption(int fd, const TSocketOption& option);
    bool WaitFor(short events, short readyEvents, std::int32_t timeoutMs,
        THookSocketReason readyReason, int wakeFd = -1);
    // Hands `bytes` to the connection in pieces of SendMaxChunk (SendLock held). With
    // MSG_DONTWAIT in `flags` it stops where the connection takes no more. Returns the bytes
    // handed over; `failed` when a send failed (its code is the error code).
    std::int32_t SendPieces(
        const TDescriptor& handle, const char* bytes, std::int32_t length, int flags, bool& failed);

    mutable std::mutex Lock;
    TDescriptorRef Current; // guarded by Lock
    std::vector<TSocketOption> PendingOptions; // guarded by Lock
    TSocketEndpoint Local; // guarded by Lock
    TSocketEndpoint Remote; // guarded by Lock
    // Threads whose latest operation failed, with its code; a thread absent from the list last
    // succeeded. Entries are removed when a thread's code returns to 0, so the list holds at most
    // the threads currently looking at a failure. Guarded by Lock.
    std::vector<std::pair<std::thread::id, std::int32_t>> ThreadErrors;

    // A Connect is running; a Close meanwhile calls it off. Guarded by Lock.
    bool Connecting = false;
    bool ConnectCalledOff = false;
    THostLookup* PendingLookup = nullptr; // the Connect's lookup being waited for; under Lock

    THostLookupFunction HostLookup;
    std::shared_ptr<THostLookupQueue> LookupQueue; // used by the connecting thread alone
    std::recursive_mutex SendLock;
    std::atomic<bool> UsesIPv6Flag { false };
    std::atomic<std::int32_t> SendMaxChunkSetting { DefaultSendMaxChunk };
    std::atomic<std::int32_t> ConnectTimeoutSetting { 0 };
    std::atomic<std::int32_t> ReceivedCount { 0 };
    std::atomic<std::int32_t> SentCount { 0 };
};

} // namespace quillet
