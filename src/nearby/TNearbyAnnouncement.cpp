#include "nearby/TNearbyAnnouncement.h"

#include "nearby/NearbyText.h"

namespace quillet {

void TNearbyAnnouncement::Update(bool visible, std::string_view ownName, std::uint16_t port)
{
    std::optional<std::pair<std::string, std::uint16_t>> wanted;
    if (visible && port != 0)
        wanted.emplace(nearby::InstanceNameFor(ownName), port);
    if (wanted == Announced)
        return;
    Announced = wanted;
    if (Announced)
        Service.Announce(Announced->first, Announced->second);
    else
        Service.Withdraw();
}

} // namespace quillet
