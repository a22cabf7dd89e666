#pragma once

#include <compare>
#include <cstdint>
#include <string>

namespace quillet {

// The DNS-SD service type every copy browses for and announces itself under.
inline constexpr const char* NearbyServiceType = "_quillet._tcp";
// The one TXT record an announcement carries. Readers do not depend on it: copies that leave it
// out or send something else are listed all the same.
inline constexpr const char* NearbyTxtRecord = "txtvers=1";

// One report of a service. The discovery daemon reports a service once for every interface and
// protocol it is seen on, so one person may arrive as several sightings with the same name.
struct TNearbySighting {
    int Interface = 0;
    int Protocol = 0;
    // The instance name as announced: by the protocol's rules at most 63 bytes of UTF-8, but it
    // comes from strangers, so nothing about it is checked yet.
    std::string Name;
    std::string Domain;

    auto operator<=>(const TNearbySighting&) const = default;
};

// Where a sighting was resolved to.
struct TNearbyEndpoint {
    std::string HostName; // the computer's name as announced, e.g. "annsbox.local"
    std::string Address; // numeric IPv4 address
    std::uint16_t Port = 0;

    bool operator==(const TNearbyEndpoint&) const = default;
};

enum class TNearbyServiceState {
    Connecting, // not known yet whether the discovery daemon runs
    Running,
    NotRunning, // the daemon (or the system bus it is reached through) is not there
};

// What the discovery service reports, always on the main thread, in the order it happened.
class INearbyListener {
public:
    virtual ~INearbyListener() = default;

    // Every sighting is void once the state leaves Running; they are reported anew after it
    // comes back.
    virtual void ServiceStateChanged(TNearbyServiceState state) = 0;
    // `ownCopy`: the service is this copy's own announcement.
    virtual void Found(const TNearbySighting& sighting, bool ownCopy) = 0;
    // The sighting's address is known, or has changed.
    virtual void Changed(const TNearbySighting& sighting, const TNearbyEndpoint& endpoint) = 0;
    virtual void Gone(const TNearbySighting& sighting) = 0;
    // The name this copy is announced under now (the daemon may have chosen another one after a
    // collision); empty when it is not announced.
    virtual void AnnouncedAs(const std::string& name) = 0;
};

// Finding other copies on the local network, and announcing this one. Main thread only.
class INearbyService {
public:
    virtual ~INearbyService() = default;

    // Where the reports go (null: nowhere). Reports already on their way to the previous
    // listener are dropped.
    virtual void SetListener(INearbyListener* listener) = 0;
    // Sightings are reported only while browsing; stopping drops the ones on their way.
    virtual void StartBrowsing() = 0;
    virtual void StopBrowsing() = 0;
    // Announces this copy under `instanceName` (a valid instance name: 1 to 63 bytes of UTF-8)
    // with its port, replacing an earlier announcement. Kept while the daemon is away and
    // renewed when it is back.
    virtual void Announce(const std::string& instanceName, std::uint16_t port) = 0;
    // Takes the announcement back at once.
    virtual void Withdraw() = 0;
};

} // namespace quillet
