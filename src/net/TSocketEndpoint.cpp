#include "net/TSocketEndpoint.h"

#include "net/SocketErrors.h"

#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

namespace quillet {

int TSocketEndpoint::Resolve(const std::string& address, const std::string& port, int family,
    int socketType, int protocol, TSocketEndpoint& target)
{
    addrinfo hints {};
    hints.ai_family = family;
    hints.ai_socktype = socketType;
    hints.ai_protocol = protocol;
    const char* node = address.c_str();
    if (address == "0.0.0.0" || address == "::0") {
        node = nullptr; // with AI_PASSIVE: the wildcard address of the family
        hints.ai_flags = AI_PASSIVE;
    } else if (address == "127.0.0.1" || address == "::1") {
        node = nullptr; // without AI_PASSIVE: the loopback address of the family
    }
    addrinfo* found = nullptr;
    const int result = ::getaddrinfo(node, port.empty() ? "0" : port.c_str(), &hints, &found);
    const int err = errno;
    if (result != 0)
        return SocketErrorFromResolver(result, err);
    target = TSocketEndpoint(found->ai_addr, found->ai_addrlen);
    ::freeaddrinfo(found);
    return 0;
}

TSocketEndpoint::TSocketEndpoint(const sockaddr* address, socklen_t length)
{
    if (address != nullptr && length > 0 && length <= sizeof(Storage)) {
        std::memcpy(&Storage, address, length);
        Length = length;
    }
}

TSocketEndpoint TSocketEndpoint::OfLocal(int fd)
{
    sockaddr_storage storage {};
    socklen_t length = sizeof(storage);
    if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0)
        return {};
    return TSocketEndpoint(reinterpret_cast<const sockaddr*>(&storage), length);
}

TSocketEndpoint TSocketEndpoint::OfPeer(int fd)
{
    sockaddr_storage storage {};
    socklen_t length = sizeof(storage);
    if (fd < 0 || ::getpeername(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0)
        return {};
    return TSocketEndpoint(reinterpret_cast<const sockaddr*>(&storage), length);
}

int TSocketEndpoint::Family() const
{
    return Length == 0 ? AF_UNSPEC : Storage.ss_family;
}

std::string TSocketEndpoint::AddressText() const
{
    if (Length == 0)
        return {};
    char host[NI_MAXHOST];
    if (::getnameinfo(Address(), Length, host, sizeof(host), nullptr, 0, NI_NUMERICHOST) != 0)
        return {};
    return host;
}

int TSocketEndpoint::Port() const
{
    // Copied out rather than cast, so that no alignment assumption is made about the storage.
    if (Length >= sizeof(sockaddr_in) && Storage.ss_family == AF_INET) {
        sockaddr_in in4 {};
        std::memcpy(&in4, &Storage, sizeof(in4));
        return ntohs(in4.sin_port);
    }
    if (Length >= sizeof(sockaddr_in6) && Storage.ss_family == AF_INET6) {
        sockaddr_in6 in6 {};
        std::memcpy(&in6, &Storage, sizeof(in6));
        return ntohs(in6.sin6_port);
    }
    return 0;
}

} // namespace quillet
