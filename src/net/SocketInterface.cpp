#include "net/SocketInterface.h"

#include <mutex>

namespace quillet {
namespace {

std::mutex& InterfaceLock()
{
    static std::mutex lock;
    return lock;
}

int Users = 0; // guarded by InterfaceLock()

} // namespace

void StartSocketInterface()
{
    const std::lock_guard guard(InterfaceLock());
    // Nothing to load: the socket calls are bound with the C library. A send to a peer that has
    // gone away would raise SIGPIPE, but every send of the layer passes MSG_NOSIGNAL, so the
    // process-wide signal disposition is left alone.
    ++Users;
}

void ReleaseSocketInterface()
{
    const std::lock_guard guard(InterfaceLock());
    if (Users > 0)
        --Users;
}

int SocketInterfaceUsers()
{
    const std::lock_guard guard(InterfaceLock());
    return Users;
}

} // namespace quillet
