#pragma once

#include "net/TBlockSocket.h"

namespace quillet {

// The stream (TCP) socket that the listener and every conversation use.
class TTCPBlockSocket : public TBlockSocket {
public:
    TTCPBlockSocket() = default;

    int SocketType() const override;
    int SocketProtocol() const override;

    // Listens with the largest backlog the system allows. Listening again on a listening handle
    // succeeds and changes nothing.
    void Listen();
};

} // namespace quillet
