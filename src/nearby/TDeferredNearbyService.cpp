#include "nearby/TDeferredNearbyService.h"

namespace quillet {

void TDeferredNearbyService::SetListener(INearbyListener* listener)
{
    Listener = listener;
    if (Real)
        Real->SetListener(listener);
}

void TDeferredNearbyService::StartBrowsing()
{
    Get().StartBrowsing();
}

void TDeferredNearbyService::StopBrowsing()
{
    if (Real)
        Real->StopBrowsing();
}

void TDeferredNearbyService::Announce(const std::string& instanceName, std::uint16_t port)
{
    Get().Announce(instanceName, port);
}

void TDeferredNearbyService::Withdraw()
{
    if (Real)
        Real->Withdraw();
}

INearbyService& TDeferredNearbyService::Get()
{
    if (!Real) {
        Real = Factory();
        if (Listener != nullptr)
            Real->SetListener(Listener);
    }
    return *Real;
}

} // namespace quillet
