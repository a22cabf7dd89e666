#include "support/RawPeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <utility>

namespace quillet::testing {

TRawPeer::TRawPeer(TRawPeer&& other) noexcept
    : Fd(std::exchange(other.Fd, -1))
{
}

TRawPeer& TRawPeer::operator=(TRawPeer&& other) noexcept
{
    std::swap(Fd, other.Fd);
    return *this;
}

bool TRawPeer::Connect(int port)
{
    return Connect(port, {});
}

bool TRawPeer::Connect(int port, const std::string& from)
{
    Close();
    Fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (Fd < 0)
        return false;
    if (!from.empty()) {
        sockaddr_in source {};
        source.sin_family = AF_INET;
        if (::inet_pton(AF_INET, from.c_str(), &source.sin_addr) != 1
            || ::bind(Fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0)
            return false;
    }
    NoDelay();
    const timeval limit { 20, 0 };
    ::setsockopt(Fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::connect(Fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

void TRawPeer::NoDelay() const
{
    const int one = 1;
    ::setsockopt(Fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

bool TRawPeer::Send(std::string_view bytes) const
{
    std::size_t at = 0;
    while (at < bytes.size()) {
        const ssize_t sent = ::send(Fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        at += static_cast<std::size_t>(sent);
    }
    return true;
}

std::string TRawPeer::Receive(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out.size() < count) {
        const auto left = std::max<long long>(0,
            std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now())
                .count());
        pollfd p { Fd, POLLIN, 0 };
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

ssize_t TRawPeer::ReceiveSome(std::string& into, int timeoutMs) const
{
    pollfd entry { Fd, POLLIN, 0 };
    if (::poll(&entry, 1, timeoutMs) <= 0)
        return 0;
    char buffer[4096];
    const ssize_t got = ::recv(Fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got > 0)
        into.append(buffer, static_cast<std::size_t>(got));
    return got == 0 ? -1 : std::max<ssize_t>(got, 0);
}

bool TRawPeer::ClosedByPeer(std::chrono::milliseconds timeout) const
{
    pollfd p { Fd, POLLIN, 0 };
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
        return false;
    char byte = 0;
    return ::recv(Fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) <= 0;
}

void TRawPeer::Reset()
{
    const linger hard { 1, 0 };
    ::setsockopt(Fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    Close();
}

void TRawPeer::Close()
{
    if (Fd >= 0)
        ::close(Fd);
    Fd = -1;
}

std::string CrowdAddress(int index, int perAddress)
{
    const int address = index / perAddress;
    return "127.0." + std::to_string(1 + address / 250) + "." + std::to_string(1 + address % 250);
}

} // namespace quillet::testing
