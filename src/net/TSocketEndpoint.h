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
    // Resolves `address` and `port` in `family` for a socket of `socketType` and `protocol`
    // into `target`. "0.0.0.0" and "::0" give the family's wildcard address, "127.0.0.1" and
    // "::1" its loopback address; anything else goes to the system resolver. Returns 0 or the
    // resolver's failure as a socket error code.
    static int Resolve(const std::string& address, const std::string& port, int family,
        int socketType, int protocol, TSocketEndpoint& target);

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
    sockaddr_storage Storage {};
    socklen_t Length = 0;
};

} // namespace quillet
