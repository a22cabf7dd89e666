#pragma once

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace quillet::testing {

// A plain TCP peer on loopback, written against the system's sockets, to play the other side
// of a conversation in tests.
class TRawPeer {
public:
    TRawPeer() = default;
    TRawPeer(const TRawPeer&) = delete;
    TRawPeer& operator=(const TRawPeer&) = delete;
    ~TRawPeer() { Close(); }

    bool Connect(int port)
    {
        Fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (Fd < 0)
            return false;
        const int one = 1;
        ::setsockopt(Fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<std::uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return ::connect(Fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }

    bool Send(const std::string& bytes) const
    {
        return ::send(Fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }

    // Reads until `count` bytes have arrived or the time is up; a zero timeout takes only what
    // is already there.
    std::string Receive(std::size_t count, std::chrono::milliseconds timeout) const
    {
        std::string out;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (out.size() < count) {
            const auto left = std::max<long long>(0,
                std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count());
            pollfd p{Fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0)
                break;
            char buffer[4096];
            const ssize_t n = ::recv(Fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            out.append(buffer, static_cast<std::size_t>(n));
        }
        return out;
    }

    // True once the other side has closed: the connection reads end-of-stream (or breaks).
    bool ClosedByPeer(std::chrono::milliseconds timeout) const
    {
        pollfd p{Fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
            return false;
        char byte = 0;
        return ::recv(Fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) <= 0;
    }

    // Ends the connection with a reset instead of an orderly close.
    void Reset()
    {
        const linger hard{1, 0};
        ::setsockopt(Fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        Close();
    }

    void Close()
    {
        if (Fd >= 0)
            ::close(Fd);
        Fd = -1;
    }

    int Handle() const { return Fd; }

private:
    int Fd = -1;
};

} // namespace quillet::testing
