#pragma once

#include "nearby/NearbyService.h"
#include "nearby/TResolveQueue.h"
#include "platform/MainThreadDispatcher.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

// The client library's types, kept out of everyone else's sight.
struct AvahiAddress;
struct AvahiClient;
struct AvahiEntryGroup;
struct AvahiServiceBrowser;
struct AvahiServiceResolver;
struct AvahiThreadedPoll;
struct AvahiTimeout;

namespace quillet {

// People Nearby on the desktop's discovery daemon (Avahi, reached over the system bus through its
// client library).
//
// Threads: the client library runs its own event thread (a threaded poll), which calls this
// object's callbacks with the poll's lock held. The public operations run on the main thread and
// take that lock around every call into the library. Reports go to the main thread through the
// dispatcher's Post, never by waiting for it, so the event thread holds the lock only briefly
// and the main thread never waits for more than that.
//
// Reports carry the browsing session they belong to (counted on the main thread); a report of a
// session that has ended, or arriving after the object is gone, is dropped when it arrives.
//
// The daemon may be missing at the start, stop, or restart; the system bus may be missing too.
// The client library waits for a missing daemon by itself; when the connection fails (the daemon
// or the bus went away) the client is made anew at once, and while even that fails it is tried
// again every ReconnectMs. Browsing and the announcement resume by themselves once the daemon
// runs again.
//
// Each sighting is resolved until it is found once, for an IPv4 address (the program answers
// calls on IPv4 only). TResolveQueue decides which sightings resolve when: a few at a time (the
// daemon limits the objects a client may hold), each for a few seconds, newcomers first, and the
// ones that never answer again only after a back-off. Its time-outs run on the event thread.
class TAvahiNearby final : public INearbyService {
public:
    static constexpr int ReconnectMs = 3000;

    explicit TAvahiNearby(IMainThreadDispatcher& dispatcher);
    ~TAvahiNearby() override;
    TAvahiNearby(const TAvahiNearby&) = delete;
    TAvahiNearby& operator=(const TAvahiNearby&) = delete;

    void SetListener(INearbyListener* listener) override;
    void StartBrowsing() override;
    void StopBrowsing() override;
    void Announce(const std::string& instanceName, std::uint16_t port) override;
    void Withdraw() override;

private:
    // What the main thread keeps; reports hold it alive until they have been delivered.
    struct TMainSide {
        INearbyListener* Listener = nullptr;
        unsigned Session = 0;
    };
    struct TWanted {
        std::string Name;
        std::uint16_t Port = 0;
    };

    // The callbacks the library calls on its event thread, with the library's own types.
    friend struct TAvahiCallbacks;

    // Everything below runs on the event thread or with the poll's lock held.
    void Connect();
    void ClientState(AvahiClient* client, int state);
    void BrowserEvent(const TNearbySighting& sighting, int event, int flags);
    void Resolved(const TNearbySighting& sighting, const char* hostName,
        const AvahiAddress* address, std::uint16_t port);
    void GroupState(AvahiEntryGroup* group, int state);
    // Ends the resolutions whose time is up, starts the ones whose turn it is, and sets the
    // timer for the next time-out or back-off.
    void ResolveNext();
    void EndResolution(const TNearbySighting& sighting);
    void Unresolve(const TNearbySighting& sighting);
    void EnsureBrowser();
    void Register();
    void DropGroup();
    // The browser with its resolutions, done and waiting.
    void DropBrowser();
    // Everything made on the client: browser, resolutions and announcement.
    void DropObjects();
    void SetState(TNearbyServiceState state);
    void SetAnnounced(const std::string& name);
    void ArmReconnect(int delayMs);
    // Queues a report for the main thread. `browsing`: it belongs to the current session.
    void Report(std::function<void(INearbyListener&)> report, bool browsing);

    IMainThreadDispatcher& Dispatcher;
    const std::shared_ptr<TMainSide> Main;

    AvahiThreadedPoll* Poll = nullptr;
    AvahiClient* Client = nullptr;
    bool ClientRunning = false;
    AvahiServiceBrowser* Browser = nullptr;
    AvahiEntryGroup* Group = nullptr;
    AvahiTimeout* Reconnect = nullptr;
    AvahiTimeout* ResolveTimer = nullptr;
    unsigned BrowseSession = 0; // 0: not browsing
    std::optional<TWanted> Wanted;
    std::string GroupName; // the name being registered: Wanted's, or the daemon's alternative
    std::string Announced; // as last reported
    TNearbyServiceState State = TNearbyServiceState::Connecting;
    std::map<AvahiServiceResolver*, TNearbySighting> Resolving;
    TResolveQueue Queue;
};

} // namespace quillet
