#include "net/TTCPBlockSocket.h"

#include <cerrno>

#include <netinet/in.h>
#include <sys/socket.h>

namespace quillet {

int TTCPBlockSocket::SocketType() const
{
    return SOCK_STREAM;
}

int TTCPBlockSocket::SocketProtocol() const
{
    return IPPROTO_TCP;
}

void TTCPBlockSocket::Listen()
{
    if (const TDescriptorRef handle = UseHandle()) {
        const int result = ::listen(handle->Fd, SOMAXCONN);
        CheckResult(result, errno);
    } else {
        CheckResult(-1, EBADF);
    }
    RefreshEndpoints();
    ReportError();
    ReportStatus(THookSocketReason::HR_Listen, {});
}

} // namespace quillet
