#pragma once

#include <string>

#include <sys/socket.h>

namespace quillet {

// One end of a socket: family, address and port, as the system stores them. Empty when no
// address has been read.
class TSocketEndpoint {
public:
    TSocketEndpoint() = default;
    TSocketEndpoint(const sockaddr* address, socklen_t length);

    // The system's local name and peer name of a descriptor; empty when the query fails.
    static TSocketEndpoint OfLocal(int fd);
    static TSocketEndpoint OfPeer(int fd);

    bool Empty() const { return Length == 0; }
    // AF_INET, AF_INET6, or AF_UNSPEC when empty.
    int Family() const;
    // Dotted IPv4 or IPv6 text (with its zone, if any); empty when it cannot be formed.
    std::string AddressText() const;
    // In host byte order; 0 when empty.
    int Port() const;

    const sockaddr* Address() const { return reinterpret_cast<const sockaddr*>(&Storage); }
    socklen_t Size() const { return Length; }

private:
    sockaddr_storage Storage{};
    socklen_t Length = 0;
};

} // namespace quillet
