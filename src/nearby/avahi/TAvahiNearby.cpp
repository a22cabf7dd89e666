#include "nearby/avahi/TAvahiNearby.h"

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-client/publish.h>
#include <avahi-common/address.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/thread-watch.h>
#include <avahi-common/timeval.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <stdexcept>

namespace quillet {

struct TAvahiCallbacks {
    static TAvahiNearby& Self(void* self) { return *static_cast<TAvahiNearby*>(self); }

    static void OnClient(AvahiClient* client, AvahiClientState state, void* self)
    {
        Self(self).ClientState(client, state);
    }

    static void OnBrowser(AvahiServiceBrowser* /*browser*/, AvahiIfIndex interface,
        AvahiProtocol protocol, AvahiBrowserEvent event, const char* name, const char* /*type*/,
        const char* domain, AvahiLookupResultFlags flags, void* self)
    {
        TNearbySighting sighting;
        sighting.Interface = interface;
        sighting.Protocol = protocol;
        sighting.Name = name != nullptr ? name : "";
        sighting.Domain = domain != nullptr ? domain : "";
        Self(self).BrowserEvent(sighting, event, flags);
    }

    static void OnResolver(AvahiServiceResolver* resolver, AvahiIfIndex /*interface*/,
        AvahiProtocol /*protocol*/, AvahiResolverEvent event, const char* /*name*/,
        const char* /*type*/, const char* /*domain*/, const char* hostName,
        const AvahiAddress* address, uint16_t port, AvahiStringList* /*txt*/,
        AvahiLookupResultFlags /*flags*/, void* self)
    {
        TAvahiNearby& nearby = Self(self);
        const auto entry = nearby.Resolving.find(resolver);
        if (entry == nearby.Resolving.end())
            return;
        const TNearbySighting sighting = entry->second;
        nearby.Resolving.erase(entry);
        avahi_service_resolver_free(resolver);
        if (event == AVAHI_RESOLVER_FOUND) {
            nearby.Queue.Resolved(sighting);
            nearby.Resolved(sighting, hostName, address, port);
        } else {
            nearby.Queue.Failed(sighting, TResolveQueue::TClock::now());
        }
        nearby.ResolveNext();
    }

    static void OnGroup(AvahiEntryGroup* group, AvahiEntryGroupState state, void* self)
    {
        Self(self).GroupState(group, state);
    }

    static void OnResolveTimer(AvahiTimeout* /*timeout*/, void* self) { Self(self).ResolveNext(); }

    static void OnReconnect(AvahiTimeout* /*timeout*/, void* self)
    {
        TAvahiNearby& nearby = Self(self);
        const AvahiPoll* api = avahi_threaded_poll_get(nearby.Poll);
        api->timeout_update(nearby.Reconnect, nullptr);
        nearby.DropObjects();
        if (nearby.Client != nullptr) {
            avahi_client_free(nearby.Client);
            nearby.Client = nullptr;
        }
        nearby.Connect();
    }
};

namespace {

// Holds the poll's lock for the main thread's calls into the library.
class TPollLock {
public:
    explicit TPollLock(AvahiThreadedPoll* poll)
        : Poll(poll)
    {
        avahi_threaded_poll_lock(Poll);
    }
    ~TPollLock() { avahi_threaded_poll_unlock(Poll); }
    TPollLock(const TPollLock&) = delete;
    TPollLock& operator=(const TPollLock&) = delete;

private:
    AvahiThreadedPoll* Poll;
};

} // namespace

TAvahiNearby::TAvahiNearby(IMainThreadDispatcher& dispatcher)
    : Dispatcher(dispatcher)
    , Main(std::make_shared<TMainSide>())
    , Poll(avahi_threaded_poll_new())
{
    if (Poll == nullptr)
        throw std::runtime_error("Avahi's event thread could not be made");
    const AvahiPoll* api = avahi_threaded_poll_get(Poll);
    Reconnect = api->timeout_new(api, nullptr, &TAvahiCallbacks::OnReconnect, this);
    ResolveTimer = api->timeout_new(api, nullptr, &TAvahiCallbacks::OnResolveTimer, this);
    // The event thread does not run yet, so no lock is needed for the first connection.
    Connect();
    if (avahi_threaded_poll_start(Poll) < 0) {
        DropObjects();
        if (Client != nullptr)
            avahi_client_free(Client);
        avahi_threaded_poll_free(Poll);
        throw std::runtime_error("Avahi's event thread could not be started");
    }
}

TAvahiNearby::~TAvahiNearby()
{
    Main->Listener = nullptr;
    // After the stop the event thread is gone, and everything is this thread's.
    avahi_threaded_poll_stop(Poll);
    DropObjects();
    if (Client != nullptr)
        avahi_client_free(Client);
    // Frees the timeouts with the poll.
    avahi_threaded_poll_free(Poll);
}

void TAvahiNearby::SetListener(INearbyListener* listener)
{
    Main->Listener = listener;
    ++Main->Session;
    const TPollLock lock(Poll);
    // The new listener hears the state at once, without waiting for it to change, and every
    // sighting anew from a new browser.
    Report([state = State](INearbyListener& to) { to.ServiceStateChanged(state); }, false);
    Report([name = Announced](INearbyListener& to) { to.AnnouncedAs(name); }, false);
    if (BrowseSession != 0) {
        DropBrowser();
        BrowseSession = Main->Session;
        EnsureBrowser();
    }
}

void TAvahiNearby::StartBrowsing()
{
    const unsigned session = ++Main->Session;
    const TPollLock lock(Poll);
    // Already browsing: the sightings reported so far belong to the ended session, so the
    // browser is made anew and reports them again.
    DropBrowser();
    BrowseSession = session;
    EnsureBrowser();
}

void TAvahiNearby::StopBrowsing()
{
    ++Main->Session;
    const TPollLock lock(Poll);
    BrowseSession = 0;
    DropBrowser();
}

void TAvahiNearby::Announce(const std::string& instanceName, std::uint16_t port)
{
    const TPollLock lock(Poll);
    Wanted = TWanted { instanceName, port };
    GroupName = instanceName;
    Register();
}

void TAvahiNearby::Withdraw()
{
    const TPollLock lock(Poll);
    Wanted.reset();
    DropGroup();
}

void TAvahiNearby::Connect()
{
    int error = 0;
    AvahiClient* client = avahi_client_new(avahi_threaded_poll_get(Poll), AVAHI_CLIENT_NO_FAIL,
        &TAvahiCallbacks::OnClient, this, &error);
    if (client == nullptr) {
        // Not even the system bus is there: try again later. (A state callback from inside the
        // failed call may have seen the client that was then freed.)
        Client = nullptr;
        SetState(TNearbyServiceState::NotRunning);
        ArmReconnect(ReconnectMs);
        return;
    }
    Client = client;
}

void TAvahiNearby::ClientState(AvahiClient* client, int state)
{
    // The first call comes from inside avahi_client_new, before it has returned the client.
    Client = client;
    ClientRunning = state == AVAHI_CLIENT_S_RUNNING;
    switch (state) {
    case AVAHI_CLIENT_S_RUNNING:
        SetState(TNearbyServiceState::Running);
        EnsureBrowser();
        Register();
        break;
    case AVAHI_CLIENT_S_REGISTERING:
    case AVAHI_CLIENT_S_COLLISION:
        // The daemon is (re)registering the host's own name: services are registered again
        // once it runs.
        if (Group != nullptr)
            avahi_entry_group_reset(Group);
        SetAnnounced("");
        break;
    case AVAHI_CLIENT_CONNECTING:
        // The daemon is not there; the library waits for it.
        DropObjects();
        SetState(TNearbyServiceState::NotRunning);
        break;
    default:
        // The connection failed (the daemon went away, or the bus did): a new client at once,
        // made outside this callback.
        DropObjects();
        SetState(TNearbyServiceState::NotRunning);
        ArmReconnect(0);
        break;
    }
}

void TAvahiNearby::BrowserEvent(const TNearbySighting& sighting, int event, int flags)
{
    if (event == AVAHI_BROWSER_NEW) {
        const bool own = (flags & AVAHI_LOOKUP_RESULT_OUR_OWN) != 0;
        Report([sighting, own](INearbyListener& to) { to.Found(sighting, own); }, true);
        // The own announcement is never shown, so it needs no address.
        if (!own) {
            Queue.Add(sighting);
            ResolveNext();
        }
    } else if (event == AVAHI_BROWSER_REMOVE) {
        Unresolve(sighting);
        Report([sighting](INearbyListener& to) { to.Gone(sighting); }, true);
    }
    // Failures show in the client's state; the cache and "all for now" events say nothing the
    // rows need.
}

void TAvahiNearby::Resolved(const TNearbySighting& sighting, const char* hostName,
    const AvahiAddress* address, std::uint16_t port)
{
    if (address == nullptr || address->proto != AVAHI_PROTO_INET)
        return;
    char text[AVAHI_ADDRESS_STR_MAX] = {};
    if (avahi_address_snprint(text, sizeof text, address) == nullptr)
        return;
    TNearbyEndpoint endpoint { hostName != nullptr ? hostName : "", text, port };
    Report([sighting, endpoint = std::move(endpoint)](
               INearbyListener& to) { to.Changed(sighting, endpoint); },
        true);
}

void TAvahiNearby::GroupState(AvahiEntryGroup* group, int state)
{
    if (group != Group)
        return;
    switch (state) {
    case AVAHI_ENTRY_GROUP_ESTABLISHED:
        SetAnnounced(GroupName);
        break;
    case AVAHI_ENTRY_GROUP_COLLISION: {
        // Another service has the name: take the daemon's alternative ("Ann #2") and register
        // again.
        char* alternative = avahi_alternative_service_name(GroupName.c_str());
        if (alternative != nullptr) {
            GroupName = alternative;
            avahi_free(alternative);
        }
        Register();
        break;
    }
    case AVAHI_ENTRY_GROUP_FAILURE:
        SetAnnounced("");
        break;
    default:
        break;
    }
}

void TAvahiNearby::ResolveNext()
{
    const TResolveQueue::TTime now = TResolveQueue::TClock::now();
    for (const TNearbySighting& late : Queue.TimedOut(now))
        EndResolution(late);
    while (ClientRunning) {
        const std::optional<TNearbySighting> sighting = Queue.Next(now);
        if (!sighting)
            break;
        AvahiServiceResolver* resolver = avahi_service_resolver_new(Client, sighting->Interface,
            sighting->Protocol, sighting->Name.c_str(), NearbyServiceType, sighting->Domain.c_str(),
            AVAHI_PROTO_INET, static_cast<AvahiLookupFlags>(0), &TAvahiCallbacks::OnResolver, this);
        if (resolver == nullptr) {
            // The daemon refused (it holds too many of this client's objects, or is going away):
            // the others are tried at the next report or time-out.
            Queue.Failed(*sighting, now);
            break;
        }
        Resolving.emplace(resolver, *sighting);
    }
    const AvahiPoll* api = avahi_threaded_poll_get(Poll);
    const std::optional<TResolveQueue::TTime> wake = Queue.NextWake();
    if (!wake) {
        api->timeout_update(ResolveTimer, nullptr);
        return;
    }
    const auto delay = std::chrono::ceil<std::chrono::milliseconds>(*wake - now);
    timeval when {};
    avahi_elapse_time(&when, static_cast<unsigned>(std::max<std::int64_t>(delay.count(), 0)), 0);
    api->timeout_update(ResolveTimer, &when);
}

void TAvahiNearby::EndResolution(const TNearbySighting& sighting)
{
    const auto entry = std::find_if(Resolving.begin(), Resolving.end(),
        [&](const auto& resolving) { return resolving.second == sighting; });
    if (entry == Resolving.end())
        return;
    avahi_service_resolver_free(entry->first);
    Resolving.erase(entry);
}

void TAvahiNearby::Unresolve(const TNearbySighting& sighting)
{
    EndResolution(sighting);
    Queue.Remove(sighting);
    ResolveNext();
}

void TAvahiNearby::EnsureBrowser()
{
    if (BrowseSession == 0 || Browser != nullptr || !ClientRunning)
        return;
    Browser
        = avahi_service_browser_new(Client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, NearbyServiceType,
            nullptr, static_cast<AvahiLookupFlags>(0), &TAvahiCallbacks::OnBrowser, this);
}

void TAvahiNearby::Register()
{
    if (!Wanted || !ClientRunning)
        return;
    if (Group == nullptr) {
        Group = avahi_entry_group_new(Client, &TAvahiCallbacks::OnGroup, this);
        if (Group == nullptr)
            return;
    } else {
        avahi_entry_group_reset(Group);
    }
    // A name the daemon already holds locally is refused at once rather than reported later as
    // a collision; the alternatives are tried the same way (a few, then the attempt is given up).
    constexpr int MaxLocalCollisions = 20;
    for (int attempt = 0; attempt < MaxLocalCollisions; ++attempt) {
        // No cookie: the announcement's TXT is exactly the one record.
        const int result = avahi_entry_group_add_service(Group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
            AVAHI_PUBLISH_NO_COOKIE, GroupName.c_str(), NearbyServiceType, nullptr, nullptr,
            Wanted->Port, NearbyTxtRecord, nullptr);
        if (result == AVAHI_ERR_COLLISION) {
            char* alternative = avahi_alternative_service_name(GroupName.c_str());
            if (alternative == nullptr)
                break;
            GroupName = alternative;
            avahi_free(alternative);
            continue;
        }
        if (result == AVAHI_OK)
            avahi_entry_group_commit(Group);
        break;
    }
}

void TAvahiNearby::DropGroup()
{
    if (Group != nullptr) {
        // Freeing the group takes its records back; the daemon says goodbye for them at once.
        avahi_entry_group_free(Group);
        Group = nullptr;
    }
    SetAnnounced("");
}

void TAvahiNearby::DropBrowser()
{
    for (auto& [resolver, sighting] : Resolving)
        avahi_service_resolver_free(resolver);
    Resolving.clear();
    Queue.Clear();
    avahi_threaded_poll_get(Poll)->timeout_update(ResolveTimer, nullptr);
    if (Browser != nullptr) {
        avahi_service_browser_free(Browser);
        Browser = nullptr;
    }
}

void TAvahiNearby::DropObjects()
{
    DropBrowser();
    if (Group != nullptr) {
        avahi_entry_group_free(Group);
        Group = nullptr;
    }
    ClientRunning = false;
    SetAnnounced("");
}

void TAvahiNearby::SetState(TNearbyServiceState state)
{
    if (state == State)
        return;
    State = state;
    Report([state](INearbyListener& to) { to.ServiceStateChanged(state); }, false);
}

void TAvahiNearby::SetAnnounced(const std::string& name)
{
    if (name == Announced)
        return;
    Announced = name;
    Report([name](INearbyListener& to) { to.AnnouncedAs(name); }, false);
}

void TAvahiNearby::ArmReconnect(int delayMs)
{
    timeval when {};
    avahi_elapse_time(&when, static_cast<unsigned>(delayMs), 0);
    avahi_threaded_poll_get(Poll)->timeout_update(Reconnect, &when);
}

void TAvahiNearby::Report(std::function<void(INearbyListener&)> report, bool browsing)
{
    Dispatcher.Post([main = Main, session = BrowseSession, browsing, report = std::move(report)] {
        if (main->Listener == nullptr || (browsing && session != main->Session))
            return;
        report(*main->Listener);
    });
}

} // namespace quillet
