#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace quillet::testing {

// A loopback port where a call gets no answer at all, as at an address that drops calls: a
// listener takes one connection into its queue and never accepts it, and with its queue full the
// system drops every later call's first packet, so the caller waits until it gives up.
class TUnansweredPort {
public:
    TUnansweredPort()
    {
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(Listener, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(Listener, 0);
        ::getsockname(Listener, reinterpret_cast<sockaddr*>(&address), &length);
        Port = std::to_string(ntohs(address.sin_port));
        Ready = ::connect(Filler, reinterpret_cast<sockaddr*>(&address), length) == 0;
    }
    ~TUnansweredPort()
    {
        ::close(Filler);
        ::close(Listener);
    }
    TUnansweredPort(const TUnansweredPort&) = delete;
    TUnansweredPort& operator=(const TUnansweredPort&) = delete;

    std::string Port;
    bool Ready = false; // the queue is full

private:
    int Listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int Filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
};

} // namespace quillet::testing
