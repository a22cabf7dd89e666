// The Avahi client against a real daemon: the one of side A of a sandbox that never reaches
// this machine's own network. Every copy here is a client of that one daemon, as several
// programs on one computer would be.

#include "nearby/NearbyText.h"
#include "nearby/TNearbyPeople.h"
#include "nearby/avahi/TAvahiNearby.h"
#include "platform/QueueDispatcher.h"
#include "support/AvahiSandbox.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/error.h>
#include <avahi-common/strlst.h>
#include <avahi-common/thread-watch.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
// The system bus library takes two locks of its own in one order when a connection is made and
// in the other when it is closed (both on the main thread here); ThreadSanitizer, which sees
// those locks but not the library's rules for them, takes that for a possible deadlock. Lock
// order reports whose stacks reach into that library are let go; data races are all reported,
// and so are lock order reports among this program's own locks.
extern "C" const char* __tsan_default_suppressions()
{
    return "deadlock:libdbus-1.so.3\n";
}
#endif
#endif

namespace quillet {
namespace {

using namespace std::chrono_literals;

// Generous: the daemon probes a name for about a second before it announces it, and a loaded
// machine or a sanitizer slows everything down. How fast it really is, is measured in bench/.
constexpr auto Deadline = 30s;

// The rows, and every report as it came.
class TRecordingListener final : public INearbyListener {
public:
    void ServiceStateChanged(TNearbyServiceState state) override
    {
        States.push_back(state);
        People.ServiceStateChanged(state);
    }
    void Found(const TNearbySighting& sighting, bool ownCopy) override
    {
        if (ownCopy)
            OwnFound.push_back(sighting.Name);
        FoundNames.insert(sighting.Name);
        People.Found(sighting, ownCopy);
    }
    void Changed(const TNearbySighting& sighting, const TNearbyEndpoint& endpoint) override
    {
        ResolvedNames.insert(sighting.Name);
        People.Changed(sighting, endpoint);
    }
    void Gone(const TNearbySighting& sighting) override { People.Gone(sighting); }
    void AnnouncedAs(const std::string& name) override { People.AnnouncedAs(name); }

    bool Lists(const std::string& name) const
    {
        for (std::size_t i = 0; i < People.RowCount(); ++i) {
            if (People.Row(i).Name == name)
                return true;
        }
        return false;
    }
    bool Running() const { return People.ServiceState() == TNearbyServiceState::Running; }

    TNearbyPeople People;
    std::vector<TNearbyServiceState> States;
    std::vector<std::string> OwnFound;
    std::set<std::string> FoundNames;
    std::set<std::string> ResolvedNames;
};

// A copy's discovery service with its listener.
struct TCopy {
    explicit TCopy(IMainThreadDispatcher& dispatcher)
        : Service(dispatcher)
    {
        Service.SetListener(&Heard);
    }
    ~TCopy() { Service.SetListener(nullptr); }

    TRecordingListener Heard;
    TAvahiNearby Service;
};

class AvahiNearby : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Sandbox = new testing::TAvahiSandbox(QUILLET_AVAHI_SANDBOX);
        SkipReason = Sandbox->Up();
        // Every client of this process talks to side A's daemon.
        if (!SkipReason)
            ::setenv("DBUS_SYSTEM_BUS_ADDRESS", Sandbox->Value("A_BUS").c_str(), 1);
    }
    static void TearDownTestSuite()
    {
        delete Sandbox;
        Sandbox = nullptr;
    }
    void SetUp() override
    {
        if (SkipReason)
            GTEST_SKIP() << "People Nearby against a real daemon is not tested here: "
                         << *SkipReason;
    }

    bool WaitFor(const std::function<bool()>& done)
    {
        return Dispatcher.ProcessUntil(done, Deadline);
    }

    static inline testing::TAvahiSandbox* Sandbox = nullptr;
    static inline std::optional<std::string> SkipReason;
    TQueueDispatcher Dispatcher;
};

TEST_F(AvahiNearby, AnAnnouncedCopyIsFoundWithItsAddressAndGoesWhenWithdrawn)
{
    TCopy ann(Dispatcher);
    TCopy bob(Dispatcher);
    ann.Service.StartBrowsing();
    bob.Service.StartBrowsing();
    ann.Service.Announce("Ann", 2323);

    ASSERT_TRUE(WaitFor([&] { return bob.Heard.Lists("Ann"); }));
    const TNearbyPerson& row = bob.Heard.People.Row(0);
    EXPECT_EQ(row.Endpoint,
        (TNearbyEndpoint { "quillet-test-a.local", Sandbox->Value("A_ADDRESS"), 2323 }));
    ASSERT_TRUE(WaitFor([&] { return ann.Heard.People.AnnouncedName() == "Ann"; }));
    // Ann's own browser hears of her announcement, marked as her own, and lists nobody.
    ASSERT_TRUE(WaitFor([&] { return !ann.Heard.OwnFound.empty(); }));
    EXPECT_EQ(ann.Heard.OwnFound, std::vector<std::string> { "Ann" });
    EXPECT_EQ(ann.Heard.People.RowCount(), 0u);

    ann.Service.Withdraw();
    ASSERT_TRUE(WaitFor([&] { return bob.Heard.People.RowCount() == 0; }));
    EXPECT_EQ(ann.Heard.People.AnnouncedName(), "");

    // Announced again under a new name: the old name does not come back.
    ann.Service.Announce("Ann Smith", 2424);
    ASSERT_TRUE(WaitFor([&] { return bob.Heard.Lists("Ann Smith"); }));
    EXPECT_EQ(bob.Heard.People.Row(0).Endpoint.Port, 2424);
    ann.Service.Announce("Annie", 2424);
    ASSERT_TRUE(WaitFor([&] { return bob.Heard.Lists("Annie") && !bob.Heard.Lists("Ann Smith"); }));
}

TEST_F(AvahiNearby, ANameAlreadyAnnouncedGetsTheDaemonsAlternative)
{
    TCopy first(Dispatcher);
    TCopy second(Dispatcher);
    TCopy looker(Dispatcher);
    looker.Service.StartBrowsing();
    first.Service.Announce("Ann", 2323);
    ASSERT_TRUE(WaitFor([&] { return first.Heard.People.AnnouncedName() == "Ann"; }));
    second.Service.Announce("Ann", 2424);
    ASSERT_TRUE(WaitFor([&] { return !second.Heard.People.AnnouncedName().empty(); }));
    EXPECT_EQ(second.Heard.People.AnnouncedName(), "Ann #2");
    ASSERT_TRUE(WaitFor([&] { return looker.Heard.People.RowCount() == 2; }));
    EXPECT_EQ(looker.Heard.People.Row(0).Name, "Ann");
    EXPECT_EQ(looker.Heard.People.Row(0).Endpoint.Port, 2323);
    EXPECT_EQ(looker.Heard.People.Row(1).Name, "Ann #2");
    EXPECT_EQ(looker.Heard.People.Row(1).Endpoint.Port, 2424);
}

TEST_F(AvahiNearby, TheDaemonRestartingIsSaidAndEverythingComesBack)
{
    TCopy ann(Dispatcher);
    TCopy bob(Dispatcher);
    ann.Service.Announce("Ann", 2323);
    bob.Service.StartBrowsing();
    ASSERT_TRUE(WaitFor([&] { return bob.Heard.Lists("Ann"); }));

    ASSERT_TRUE(Sandbox->Stop("a"));
    ASSERT_TRUE(WaitFor([&] { return !bob.Heard.Running() && !ann.Heard.Running(); }));
    EXPECT_EQ(bob.Heard.People.ServiceState(), TNearbyServiceState::NotRunning);
    EXPECT_EQ(bob.Heard.People.RowCount(), 0u);
    EXPECT_EQ(ann.Heard.People.AnnouncedName(), "");

    ASSERT_TRUE(Sandbox->Start("a"));
    // Neither copy was told anything: Ann is announced again and Bob browses again.
    ASSERT_TRUE(WaitFor([&] { return bob.Heard.Lists("Ann"); }));
    EXPECT_TRUE(bob.Heard.Running());
    ASSERT_TRUE(WaitFor([&] { return ann.Heard.People.AnnouncedName() == "Ann"; }));
}

TEST_F(AvahiNearby, AMissingDaemonOrBusIsWaitedFor)
{
    ASSERT_TRUE(Sandbox->Stop("a"));
    {
        TCopy bob(Dispatcher);
        bob.Service.StartBrowsing();
        ASSERT_TRUE(WaitFor(
            [&] { return bob.Heard.People.ServiceState() == TNearbyServiceState::NotRunning; }));
        TCopy ann(Dispatcher);
        ann.Service.Announce("Ann", 2323);
        ASSERT_TRUE(Sandbox->Start("a"));
        ASSERT_TRUE(WaitFor([&] { return bob.Heard.Lists("Ann"); }));
    }
    // Without even the bus, the client is made again until the bus is back.
    ASSERT_TRUE(Sandbox->BusDown("a"));
    TCopy bob(Dispatcher);
    bob.Service.StartBrowsing();
    ASSERT_TRUE(WaitFor(
        [&] { return bob.Heard.People.ServiceState() == TNearbyServiceState::NotRunning; }));
    ASSERT_TRUE(Sandbox->BusUp("a"));
    TCopy ann(Dispatcher);
    ann.Service.Announce("Ann", 2323);
    ASSERT_TRUE(WaitFor([&] { return bob.Heard.Lists("Ann"); }));
}

// Services published with the client library directly, as any program on the network could:
// names of every kind the protocol carries, TXT records missing or malformed.
class TStrangers {
public:
    TStrangers()
        : Poll(avahi_threaded_poll_new())
    {
        int error = 0;
        Client = avahi_client_new(avahi_threaded_poll_get(Poll), static_cast<AvahiClientFlags>(0),
            nullptr, nullptr, &error);
        avahi_threaded_poll_start(Poll);
    }
    ~TStrangers()
    {
        avahi_threaded_poll_stop(Poll);
        if (Client != nullptr)
            avahi_client_free(Client); // frees the groups
        avahi_threaded_poll_free(Poll);
    }
    TStrangers(const TStrangers&) = delete;
    TStrangers& operator=(const TStrangers&) = delete;

    // Publishes each name with its TXT strings (raw bytes); what the daemon refused, if it did.
    std::string Publish(
        const std::vector<std::pair<std::string, std::vector<std::string>>>& services)
    {
        if (Client == nullptr)
            return "no client";
        std::string refused;
        avahi_threaded_poll_lock(Poll);
        // The daemon holds at most 32 entries in one group.
        constexpr std::size_t PerGroup = 25;
        bool ok = true;
        AvahiEntryGroup* group = nullptr;
        for (std::size_t i = 0; i < services.size() && ok; ++i) {
            if (i % PerGroup == 0) {
                if (group != nullptr)
                    avahi_entry_group_commit(group);
                group = avahi_entry_group_new(Client, nullptr, nullptr);
                ok = group != nullptr;
                if (!ok) {
                    refused
                        = "no group: " + std::string(avahi_strerror(avahi_client_errno(Client)));
                    break;
                }
            }
            AvahiStringList* txt = nullptr;
            for (const std::string& record : services[i].second) {
                txt = avahi_string_list_add_arbitrary(
                    txt, reinterpret_cast<const std::uint8_t*>(record.data()), record.size());
            }
            const int result = avahi_entry_group_add_service_strlst(group, AVAHI_IF_UNSPEC,
                AVAHI_PROTO_UNSPEC, static_cast<AvahiPublishFlags>(0), services[i].first.c_str(),
                NearbyServiceType, nullptr, nullptr, static_cast<std::uint16_t>(1024 + i), txt);
            avahi_string_list_free(txt);
            ok = result == 0;
            if (!ok)
                refused = services[i].first + ": " + avahi_strerror(result);
        }
        if (ok && group != nullptr)
            avahi_entry_group_commit(group);
        avahi_threaded_poll_unlock(Poll);
        return refused;
    }

private:
    AvahiThreadedPoll* Poll;
    AvahiClient* Client = nullptr;
};

TEST_F(AvahiNearby, HundredsOfStrangersWithOddNamesAndRecordsAreListedSafely)
{
    std::vector<std::pair<std::string, std::vector<std::string>>> services;
    const std::vector<std::vector<std::string>> records = {
        {},
        { "txtvers=1" },
        { "txtvers=" },
        { "no equals sign" },
        { "=no key" },
        { std::string("\x00\xFF\x01=\x7F", 5) },
        { std::string(200, 'k') + "=" + std::string(54, 'v') },
        { "txtvers=99", "txtvers=1", "txtvers" },
    };
    const std::vector<std::string> odd = {
        std::string(63, 'x'),
        "Line\nbreak",
        "Bell\x07",
        "Right\xE2\x80\xAE"
        "txt.exe",
        "<b>bold</b>",
        "A.B.C",
        "back\\slash",
        " blanks ",
        "\xF0\x9F\x98\x80",
    };
    for (std::size_t i = 0; i < 300; ++i) {
        std::string name = i < odd.size() ? odd[i] : "Stranger " + std::to_string(i);
        services.emplace_back(std::move(name), records[i % records.size()]);
    }
    TCopy bob(Dispatcher);
    bob.Service.StartBrowsing();
    TStrangers strangers;
    ASSERT_EQ(strangers.Publish(services), "");

    ASSERT_TRUE(WaitFor([&] { return bob.Heard.People.RowCount() == services.size(); }))
        << bob.Heard.People.RowCount() << " rows";
    for (std::size_t i = 0; i < bob.Heard.People.RowCount(); ++i) {
        const std::string& name = bob.Heard.People.Row(i).Name;
        SCOPED_TRACE(name);
        EXPECT_FALSE(name.empty());
        EXPECT_EQ(nearby::ShownName(name), name) << "shown names are clean already";
        EXPECT_TRUE(std::none_of(
            name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }));
    }
    EXPECT_TRUE(bob.Heard.Lists("Righttxt.exe"));
    EXPECT_TRUE(bob.Heard.Lists("<b>bold</b>"));
    EXPECT_TRUE(bob.Heard.Lists("Linebreak"));
}

// A hostile computer on side B sends hand-made answers (mdns-answer): thousands of names that
// never resolve, impostors of a contact and services nobody can call. Then side B's daemon
// announces a genuine person, who is listed at once; the impostors are marked and the services
// nobody can call are not listed.
TEST_F(AvahiNearby, AFloodOfSilentNamesHoldsUpNobodyAndImpostorsAreMarked)
{
    const auto hostile = [](const std::string& words) {
        return std::system(("ip netns exec " + Sandbox->Value("B_NETNS")
                   + " " QUILLET_MDNS_ANSWER " " + Sandbox->Value("B_ADDRESS") + " " + words)
                               .c_str())
            == 0;
    };
    TCopy bob(Dispatcher);
    bob.Heard.People.SetContacts({ { "Jane Doe", "169.254.23.50", "2323" } });
    bob.Service.StartBrowsing();

    // 5,000 silent names: the sandbox's daemons keep twice the 4,096 records a stock daemon keeps
    // per interface (which drops whatever arrives beyond them, genuine people included).
    constexpr std::size_t Batches = 10;
    constexpr std::size_t Batch = 500;
    const auto silent = [&] {
        return static_cast<std::size_t>(
            std::count_if(bob.Heard.FoundNames.begin(), bob.Heard.FoundNames.end(),
                [](const std::string& name) { return name.starts_with("Silent "); }));
    };
    // As announcers do, the hostile side sends again what a busy daemon may have dropped; a
    // resolution that timed out meanwhile is tried again after its back-off (10 s, 20 s, 40 s).
    const auto untilSeen
        = [&](const std::function<bool()>& send, const std::function<bool()>& seen) {
              for (int attempt = 0; attempt < 12; ++attempt) {
                  if (!send())
                      return false;
                  if (Dispatcher.ProcessUntil(seen, 10s))
                      return true;
              }
              return false;
          };
    for (std::size_t batch = 0; batch < Batches; ++batch) {
        // A batch at a time, so that the daemon's receive buffer never overflows.
        ASSERT_TRUE(
            untilSeen([&] { return hostile("silent 'Silent " + std::to_string(batch) + "' 500"); },
                [&] { return silent() == (batch + 1) * Batch; }))
            << silent();
    }
    const std::string b = " '" + Sandbox->Value("B_ADDRESS") + "' ";
    const std::vector<std::pair<std::string, std::string>> hand
        = { { "Jane Doe", b + "2323" }, { "Jane Doe\u200D", b + "2323" },
              { "Jane\u200BDoe", b + "2323" }, { "Loop Back", " 127.0.0.1 2323" },
              { "Multi Cast", " 224.0.0.1 2323" }, { "Port Zero", b + "0" } };
    const auto sendHand = [&] {
        for (std::size_t i = 0; i < hand.size(); ++i) {
            if (!hostile(
                    "service '" + hand[i].first + "' host" + std::to_string(i) + hand[i].second))
                return false;
        }
        return true;
    };
    // A service at port 0 says it is not there: the daemon may never resolve it (that it is not
    // listed is the rows' rule, tested with them).
    const auto allResolved = [&] {
        return std::all_of(hand.begin(), hand.end(), [&](const auto& service) {
            return service.first == "Port Zero" || bob.Heard.ResolvedNames.contains(service.first);
        });
    };
    ASSERT_TRUE(sendHand());
    ASSERT_TRUE(Sandbox->Publish("b", "Genuine Person", 2323));
    ASSERT_TRUE(WaitFor([&] { return bob.Heard.FoundNames.contains("Genuine Person"); }));
    // Once the daemon has reported the person, the flood must not keep them waiting.
    EXPECT_TRUE(Dispatcher.ProcessUntil([&] { return bob.Heard.Lists("Genuine Person"); }, 5s));

    // Once every hand-made service has been resolved, only the impostors are listed, marked.
    ASSERT_TRUE(allResolved() || untilSeen(sendHand, allResolved)) << [&] {
        std::string unresolved;
        for (const auto& service : hand) {
            if (service.first != "Port Zero" && !bob.Heard.ResolvedNames.contains(service.first))
                unresolved += service.first + "; ";
        }
        return unresolved;
    }();
    // (Services of tests that ran before in this process may still be listed.)
    const std::set<std::string> ours { "Genuine Person", "Jane Doe", "JaneDoe", "Loop Back",
        "Multi Cast", "Port Zero" };
    std::vector<std::pair<std::string, TNearbyStanding>> rows;
    for (std::size_t i = 0; i < bob.Heard.People.RowCount(); ++i) {
        const TNearbyPerson& row = bob.Heard.People.Row(i);
        if (ours.contains(row.Name))
            rows.emplace_back(row.Name, row.Standing);
    }
    const auto impostor = TNearbyStanding::NotContact;
    EXPECT_EQ(rows,
        (std::vector<std::pair<std::string, TNearbyStanding>> {
            { "Genuine Person", TNearbyStanding::Stranger }, { "Jane Doe", impostor },
            { "Jane Doe", impostor }, { "JaneDoe", impostor } }));
}

} // namespace
} // namespace quillet
