#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace quillet::testing {

// A plain TCP peer on loopback, written against the system's sockets, to play the other side of
// a conversation in tests and benchmarks (or one end of a raw connection to compare with).
class TRawPeer {
public:
    TRawPeer() = default;
    // Takes over a connected socket.
    explicit TRawPeer(int fd)
        : Fd(fd)
    {
    }
    TRawPeer(const TRawPeer&) = delete;
    TRawPeer& operator=(const TRawPeer&) = delete;
    TRawPeer(TRawPeer&& other) noexcept;
    TRawPeer& operator=(TRawPeer&& other) noexcept;
    ~TRawPeer() { Close(); }

    // Connects to `port` on 127.0.0.1 without Nagle's delay, as a conversation does.
    bool Connect(int port);
    // The same from the local address `from` (any of 127.0.0.0/8 is this computer's), so that
    // one process can call as many computers.
    bool Connect(int port, const std::string& from);
    void NoDelay() const;

    // Sends every byte; false when the connection failed (or a send stalled for 20 s: a peer
    // that stops reading must not hold a sender forever).
    bool Send(std::string_view bytes) const;

    // Reads until `count` bytes have arrived or the time is up; a zero timeout takes only what
    // is already there.
    std::string Receive(std::size_t count, std::chrono::milliseconds timeout) const;
    // Appends what has arrived, waiting up to `timeoutMs` for the first byte: the number of
    // bytes read, or -1 once the connection has ended.
    ssize_t ReceiveSome(std::string& into, int timeoutMs) const;

    // True once the other side has closed: the connection reads end-of-stream (or breaks).
    bool ClosedByPeer(std::chrono::milliseconds timeout) const;

    // Ends the connection with a reset instead of an orderly close.
    void Reset();
    void Close();

    int Handle() const { return Fd; }

private:
    int Fd = -1;
};

// The loopback address caller `index` of a crowd calls from, as if from computers of their own:
// 127.0.x.y, `perAddress` callers to each, so that a crowd keeps within what one computer is let
// hold open.
std::string CrowdAddress(int index, int perAddress);

} // namespace quillet::testing
