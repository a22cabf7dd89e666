#pragma once

#include "nearby/NearbyService.h"

#include <functional>
#include <memory>

namespace quillet {

// A discovery service made only when it is first needed: when browsing starts or something is
// announced. A user who never opens People Nearby and never becomes visible costs the program no
// connection to the daemon and no thread. Withdrawing or stopping what never started makes
// nothing.
class TDeferredNearbyService final : public INearbyService {
public:
    using TFactory = std::function<std::unique_ptr<INearbyService>()>;

    explicit TDeferredNearbyService(TFactory factory)
        : Factory(std::move(factory))
    {
    }

    void SetListener(INearbyListener* listener) override;
    void StartBrowsing() override;
    void StopBrowsing() override;
    void Announce(const std::string& instanceName, std::uint16_t port) override;
    void Withdraw() override;

    // The real service, once made.
    INearbyService* Made() const { return Real.get(); }

private:
    INearbyService& Get();

    TFactory Factory;
    std::unique_ptr<INearbyService> Real;
    INearbyListener* Listener = nullptr;
};

} // namespace quillet
