#pragma once

#include "nearby/NearbyService.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace quillet {

// Whether and how this copy is announced, from what it depends on: the user's choice to be
// visible, the own name and the port calls are answered on. Tells the service only what changed,
// so that an unchanged announcement is not withdrawn and made again (which others would see as
// the person leaving and coming back).
class TNearbyAnnouncement {
public:
    explicit TNearbyAnnouncement(INearbyService& service)
        : Service(service)
    {
    }

    // `port` 0: calls are not answered now (the port is taken), so nothing is announced.
    void Update(bool visible, std::string_view ownName, std::uint16_t port);

    // The instance name and port announced now, if any.
    const std::optional<std::pair<std::string, std::uint16_t>>& Current() const
    {
        return Announced;
    }

private:
    INearbyService& Service;
    std::optional<std::pair<std::string, std::uint16_t>> Announced;
};

} // namespace quillet
