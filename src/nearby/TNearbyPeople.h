#pragma once

#include "nearby/NearbyPeopleObserver.h"
#include "nearby/NearbyService.h"
#include "nearby/TNearbyContacts.h"

#include <cstddef>
#include <cstdint>
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
    // What the phonebook makes of them, and the contact it means (empty for a stranger).
    TNearbyStanding Standing = TNearbyStanding::Stranger;
    std::string Contact {};

    bool operator==(const TNearbyPerson&) const = default;
};

// The People Nearby rows, made from what the discovery service reports.
//
// A service is one announced name in one domain; the service reports it once per interface and
// protocol, and all those sightings make one row. A row is shown once one of its sightings has
// an address that can be called (nearby::IsCallable). It shows the address of the earliest
// sighting that has one, and keeps showing it while any sighting still has it (a person seen over
// wired and wireless links stays on the address first shown until that link goes). A service that
// is this copy's own is never shown. Rows are sorted by name, ignoring ASCII letter case, and
// each says what the phonebook makes of it (TNearbyContacts).
//
// What arrives is input from strangers, and anyone can announce names that never resolve. Only
// rows count against MaxPeople: a person resolved while that many are shown waits, in the order
// resolved, and is shown when a row goes. At most MaxServices services are kept, shown or not
// (further ones are turned away until the list is cleared). Overflowed says that someone is
// waiting or was turned away. Reports about unknown sightings are ignored, and names are cleaned
// before they are shown.
//
// Main thread only.
class TNearbyPeople final : public INearbyListener {
public:
    static constexpr std::size_t MaxPeople = 1000;
    static constexpr std::size_t MaxServices = 10000;

    explicit TNearbyPeople(INearbyPeopleObserver* observer = nullptr);

    void SetObserver(INearbyPeopleObserver* observer) { Observer = observer; }

    std::size_t RowCount() const { return Rows.size(); }
    const TNearbyPerson& Row(std::size_t row) const { return Rows.at(row).Person; }

    TNearbyServiceState ServiceState() const { return State; }
    // The name this copy is announced under; empty when it is not.
    const std::string& AnnouncedName() const { return OwnName; }
    // More people are around than the rows show: someone resolved waits for a place, or a
    // service was turned away since the last clear.
    bool Overflowed() const { return TurnedAway || !Waiting.empty(); }

    // The phonebook changed (or is given for the first time): every row is judged anew.
    void SetContacts(const std::vector<TNearbyContact>& contacts);

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
        std::uint64_t WaitingSince = 0; // its place in Waiting; 0 while it is not there
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
    std::optional<TNearbyPerson> RowFor(
        const TKey& key, const TService& service, const TNearbyEndpoint* shown) const;
    // Brings the service's row in line with its sightings: adds, changes or removes it, or
    // lets it wait for a place.
    void Refresh(const TKey& key);
    void Insert(const TKey& key, TNearbyPerson person);
    void StopWaiting(TService& service);
    // Shows waiting people while there are places; says when the overflow changed.
    void Settle();
    std::optional<std::size_t> RowIndex(const TKey& key) const;
    void RemoveRow(std::size_t row);
    void NotifyStatus();

    INearbyPeopleObserver* Observer;
    std::map<TKey, TService> Services;
    std::vector<TRow> Rows;
    // Services with an address and no place, in the order they got one.
    std::map<std::uint64_t, TKey> Waiting;
    std::uint64_t NextWaiting = 1;
    TNearbyContacts Contacts;
    TNearbyServiceState State = TNearbyServiceState::Connecting;
    std::string OwnName;
    bool TurnedAway = false;
    bool SaidOverflow = false; // Overflowed() as the observer last heard it
};

} // namespace quillet
