#include "net/TSocketEndpoint.h"

#include <cstring>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

namespace quillet {

TSocketEndpoint::TSocketEndpoint(const sockaddr* address, socklen_t length)
{
    if (address != nullptr && length > 0 && length <= sizeof(Storage)) {
        std::memcpy(&Storage, address, length);
        Length = length;
    }
}

TSocketEndpoint TSocketEndpoint::OfLocal(int fd)
{
    sockaddr_storage storage{};
    socklen_t length = sizeof(storage);
    if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0)
        return {};
    return TSocketEndpoint(reinterpret_cast<const sockaddr*>(&storage), length);
}

TSocketEndpoint TSocketEndpoint::OfPeer(int fd)
{
    sockaddr_storage storage{};
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
        sockaddr_in in4{};
        std::memcpy(&in4, &Storage, sizeof(in4));
        return ntohs(in4.sin_port);
    }
    if (Length >= sizeof(sockaddr_in6) && Storage.ss_family == AF_INET6) {
        sockaddr_in6 in6{};
        std::memcpy(&in6, &Storage, sizeof(in6));
        return ntohs(in6.sin6_port);
    }
    return 0;
}

} // namespace quillet
