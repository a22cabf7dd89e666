#pragma once

#include "nearby/NearbyPeopleObserver.h"
#include "nearby/NearbyService.h"

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quillet {

// One row of People Nearby: a person someone can dial.
struct TNearbyPerson {
    std::string Name; // as shown: cleaned UTF-8, never empty
    TNearbyEndpoint Endpoint;

    bool operator==(const TNearbyPerson&) const = default;
};

// The People Nearby rows, made from what the discovery service reports.
//
// A service is one announced name in one domain; the service reports it once per interface and
// protocol, and all those sightings make one row. A row is shown once one of its sightings has
// an address. It shows the address of the earliest sighting that has one, and keeps showing it
// while any sighting still has it (a person seen over wired and wireless links stays on the
// address first shown until that link goes). A service that is this copy's own is never shown. Rows
// are sorted by name, ignoring ASCII letter case.
//
// What arrives is input from strangers: at most MaxPeople services are kept (any further ones are
// turned away until the list is cleared, and Overflowed says so), reports about unknown
// sightings are ignored, and names are cleaned before they are shown.
//
// Main thread only.
class TNearbyPeople final : public INearbyListener {
public:
    static constexpr std::size_t MaxPeople = 1000;

    explicit TNearbyPeople(INearbyPeopleObserver* observer = nullptr);

    void SetObserver(INearbyPeopleObserver* observer) { Observer = observer; }

    std::size_t RowCount() const { return Rows.size(); }
    const TNearbyPerson& Row(std::size_t row) const { return Rows.at(row).Person; }

    TNearbyServiceState ServiceState() const { return State; }
    // The name this copy is announced under; empty when it is not.
    const std::string& AnnouncedName() const { return OwnName; }
    // A service was turned away since the last clear because MaxPeople were kept.
    bool Overflowed() const { return TurnedAway; }

    // Forgets every row and sighting (browsing has stopped).
    void Clear();

    void ServiceStateChanged(TNearbyServiceState state) override;
    void Found(const TNearbySighting& sighting, bool ownCopy) override;
    void Changed(const TNearbySighting& sighting, const TNearbyEndpoint& endpoint) override;
    void Gone(const TNearbySighting& sighting) override;
    void AnnouncedAs(const std::string& name) override;

private:
    // Announced name and domain.
    using TKey = std::pair<std::string, std::string>;

    struct TSeen {
        int Interface = 0;
        int Protocol = 0;
        bool OwnCopy = false;
        std::optional<TNearbyEndpoint> Endpoint;
    };

    struct TService {
        std::vector<TSeen> Sightings; // in the order they were found
    };

    struct TRow {
        TKey Key;
        std::string SortKey;
        TNearbyPerson Person;
    };

    static TKey KeyOf(const TNearbySighting& sighting)
    {
        return { sighting.Name, sighting.Domain };
    }
    // The sighting's entry in its service, if both are known.
    TSeen* Find(const TNearbySighting& sighting);
    // The row the service should have now, if any; it keeps the address it shows (`shown`)
    // while a sighting still has it.
    static std::optional<TNearbyPerson> RowFor(
        const TKey& key, const TService& service, const TNearbyEndpoint* shown);
    // Brings the service's row in line with its sightings: adds, changes or removes it.
    void Refresh(const TKey& key);
    std::optional<std::size_t> RowIndex(const TKey& key) const;
    void RemoveRow(std::size_t row);
    void NotifyStatus();

    INearbyPeopleObserver* Observer;
    std::map<TKey, TService> Services;
    std::vector<TRow> Rows;
    TNearbyServiceState State = TNearbyServiceState::Connecting;
    std::string OwnName;
    bool TurnedAway = false;
};

} // namespace quillet
