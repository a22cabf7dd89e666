#pragma once

#include "nearby/NearbyService.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillet::testing {

// The discovery service, as a test plays it: it remembers what it was asked to do, and the test
// reports sightings to whoever listens, as the daemon would.
class TFakeNearbyService final : public INearbyService {
public:
    void SetListener(INearbyListener* listener) override { Listener = listener; }
    void StartBrowsing() override
    {
        Browsing = true;
        Calls.emplace_back("browse");
    }
    void StopBrowsing() override
    {
        Browsing = false;
        Calls.emplace_back("stop");
    }
    void Announce(const std::string& instanceName, std::uint16_t port) override
    {
        Announced.emplace(instanceName, port);
        Calls.push_back("announce " + instanceName + " " + std::to_string(port));
    }
    void Withdraw() override
    {
        Announced.reset();
        Calls.emplace_back("withdraw");
    }

    // A person seen on one interface, resolved at once unless `address` is empty.
    void Appear(const std::string& name, const std::string& address, int interface = 2,
        std::uint16_t port = 2323, bool own = false)
    {
        const TNearbySighting sighting { interface, 0, name, "local" };
        Listener->Found(sighting, own);
        if (!address.empty())
            Listener->Changed(sighting, { name + "-pc.local", address, port });
    }
    void Leave(const std::string& name, int interface = 2)
    {
        Listener->Gone({ interface, 0, name, "local" });
    }

    INearbyListener* Listener = nullptr;
    bool Browsing = false;
    std::optional<std::pair<std::string, std::uint16_t>> Announced;
    std::vector<std::string> Calls; // "browse", "stop", "announce NAME PORT", "withdraw"
};

} // namespace quillet::testing
