// Calls at the edges, with fake tabs and real sockets: dialed calls that cannot connect (a
// refusing port, a name nobody knows, an address where nothing answers, a name service that
// does not answer) and callers that hold connections without saying who they are. The limits are
// made small by each test; every wait is for a state, with a bound.
#include "ConversationSide.h"
#include "net/SocketErrors.h"
#include "support/StalledNameService.h"
#include "support/UnansweredPort.h"

#include <algorithm>

namespace quillet {
namespace {

using namespace std::chrono_literals;
using testing::TRawPeer;
using testing::TSide;
using testing::TStalledNameService;
using testing::TUnansweredPort;

class CallGuardTest : public testing::TConversationFixture {
protected:
    // A dialed call's tab once the call has ended.
    const testing::TFakeConversationView::TState& DialAndWaitForTheEnd(
        TSide& side, const std::string& address, const std::string& port)
    {
        side.Server->RequestCall(address, port, TChatStyle::IM);
        EXPECT_TRUE(
            Until([&] { return !side.Views.States.empty() && side.Views.States[0]->Ended; }, 10s));
        return *side.Views.States.at(0);
    }
};

// A call that never connected: the connecting line, "Disconnected", then why, in plain words;
// the header shows the address and port as dialed from the start. Real sockets and the system's
// own resolver (a name it refuses without asking any server, so the case needs no network).
TEST_F(CallGuardTest, AFailedCallSaysWhyAndKeepsTheDialedAddressInItsHeader)
{
    TUnansweredPort unanswered;
    ASSERT_TRUE(unanswered.Ready);
    std::string refusedPort;
    {
        TSide gone(Dispatcher, "Gone");
        refusedPort = std::to_string(PortOf(gone));
    }
    struct TRow {
        std::string Address;
        std::string Port;
        std::string Reason;
    };
    const TRow rows[] = {
        { "127.0.0.1", refusedPort,
            "The other computer refused the call: nothing answers on port " + refusedPort + "." },
        { "no_such_host.invalid", "2323",
            "The host name \"no_such_host.invalid\" could not be found." },
        { "127.0.0.1", unanswered.Port, "No answer from 127.0.0.1 within 0.3 seconds." },
    };
    TCallLimits limits;
    limits.ConnectTimeout = 300ms;
    for (const TRow& row : rows) {
        TSide alice(Dispatcher, "Alice", limits);
        const auto& tab = DialAndWaitForTheEnd(alice, row.Address, row.Port);
        const std::vector<std::string> expected
            = { "Connecting to " + row.Address + " on port " + row.Port, "Disconnected",
                  row.Reason };
        EXPECT_EQ(tab.StatusLines, expected);
        EXPECT_EQ(tab.Info, "IP: " + row.Address + " -- PORT: " + row.Port);
        EXPECT_EQ(tab.PeerAddress, row.Address + " " + row.Port);
        EXPECT_TRUE(tab.ShownAsDialed);
    }
}

// Disconnect while the name service does not answer ends the call at once; the answer that comes
// later is dropped and calls nobody.
TEST_F(CallGuardTest, DisconnectEndsADialWhoseNameGetsNoAnswer)
{
    TSide bob(Dispatcher, "Bob");
    const std::string bobPort = std::to_string(PortOf(bob));
    TStalledNameService names;
    TSide alice(Dispatcher, "Alice");
    alice.Context.HostLookup = names.Function();

    alice.Server->RequestCall("bob.example", bobPort, TChatStyle::IM);
    ASSERT_TRUE(Until([&] { return names.AskedCount() == 1; }));
    auto& tab = *alice.Views.States[0];
    ASSERT_TRUE(Until([&] { return !tab.StatusLines.empty(); }));
    EXPECT_EQ(tab.Info, "IP: bob.example -- PORT: " + bobPort);

    tab.Owner->DisconnectButtonClick();
    ASSERT_TRUE(Until([&] { return tab.Ended; })) << "the lookup still holds the call";
    const std::vector<std::string> expected
        = { "Connecting to bob.example on port " + bobPort, "Disconnected" };
    EXPECT_EQ(tab.StatusLines, expected) << "the user's own Disconnect needs no reason";

    names.Release();
    ASSERT_TRUE(names.WaitUntilAllAnswered(10s));
    EXPECT_FALSE(Until([&] { return !bob.Views.States.empty(); }, 500ms))
        << "the late answer was called";
    tab.Owner->DisconnectButtonClick();
    EXPECT_TRUE(Until([&] { return tab.Destroyed; }));
}

// Lookups take their turn: while two names get no answer, a third dial waits, without a thread,
// and says so; Disconnect ends it at once, and its name is never looked up.
TEST_F(CallGuardTest, DialsBeyondTheLookupCapWaitTheirTurnAndSaySo)
{
    TSide bob(Dispatcher, "Bob");
    const std::string bobPort = std::to_string(PortOf(bob));
    TStalledNameService names;
    TSide alice(Dispatcher, "Alice");
    alice.Context.HostLookup = names.Function();
    alice.Context.Lookups = std::make_shared<THostLookupQueue>(2);
    THostLookupQueue& lookups = *alice.Context.Lookups;
    alice.Server->RequestCall("one.example", bobPort, TChatStyle::IM);
    ASSERT_TRUE(Until([&] { return names.AskedCount() == 1; }));
    alice.Server->RequestCall("two.example", bobPort, TChatStyle::IM);
    ASSERT_TRUE(Until([&] { return names.AskedCount() == 2; }));
    alice.Server->RequestCall("three.example", bobPort, TChatStyle::IM);
    ASSERT_TRUE(Until([&] { return alice.Views.States.size() == 3; }));
    auto& third = *alice.Views.States[2];
    const std::vector<std::string> waiting = { "Connecting to three.example on port " + bobPort,
        "Waiting while other calls look up host names" };
    ASSERT_TRUE(Until([&] { return third.StatusLines == waiting; }));
    EXPECT_EQ(lookups.Running(), 2u);
    EXPECT_EQ(lookups.Waiting(), 1u);
    EXPECT_EQ(alice.Views.States[0]->StatusLines.size(), 1u) << "a lookup that runs says no more";

    third.Owner->DisconnectButtonClick();
    ASSERT_TRUE(Until([&] { return third.Ended; }));
    EXPECT_EQ(third.StatusLines.back(), "Disconnected");
    EXPECT_EQ(lookups.Waiting(), 0u);

    names.Release();
    EXPECT_TRUE(Until([&] { return bob.Views.States.size() == 2; })) << "the two that ran call";
    EXPECT_TRUE(Until([&] { return lookups.Running() == 0; }));
    EXPECT_EQ(names.AskedCount(), 2);
}

// One address cannot take the cap: its calls beyond its share are closed at once, while a caller
// from elsewhere is answered. The cap counts connections that stand: a conversation that has
// ended makes room although its tab stays.
TEST_F(CallGuardTest, TheCapCountsLiveConnectionsAndOneAddressGetsOnlyItsShare)
{
    TCallLimits limits;
    limits.MaxConversations = 5;
    limits.MaxPerAddress = 3;
    TSide bob(Dispatcher, "Bob", limits);
    const int port = PortOf(bob);
    const auto call = [&](const std::string& from) {
        auto peer = std::make_unique<TRawPeer>();
        EXPECT_TRUE(peer->Connect(port, from));
        return peer;
    };

    std::vector<std::unique_ptr<TRawPeer>> flood;
    for (int i = 0; i < 4; ++i)
        flood.push_back(call("127.0.0.1"));
    EXPECT_TRUE(Until([&] { return flood.back()->ClosedByPeer(0ms); })) << "over its share";
    EXPECT_TRUE(Until([&] { return bob.Views.States.size() == 3; }));

    auto carol = call("127.0.0.2");
    ASSERT_TRUE(carol->Send("Carol\r\n"));
    EXPECT_EQ(Receive(*carol, 5, 5s), "Bob\r\n") << "another address is answered";

    auto dave = call("127.0.0.3");
    EXPECT_TRUE(Until([&] { return bob.Views.States.size() == 5; }));
    EXPECT_EQ(bob.Server->LiveConnectionCount(), 5u);
    auto late = call("127.0.0.4");
    EXPECT_TRUE(Until([&] { return late->ClosedByPeer(0ms); })) << "over the cap";
    EXPECT_TRUE(Until([&] {
        return !bob.Reasons.empty()
            && bob.Reasons.back() == "5 conversations are open, callers are turned away";
    }));
    EXPECT_EQ(bob.Views.States.size(), 5u) << "no tab for a caller turned away";

    // Carol hangs up: her tab stays, ended, and her place is free.
    carol->Close();
    const auto carolAt = std::find_if(bob.Views.States.begin(), bob.Views.States.end(),
        [](const auto& state) { return state->Caption == "Carol"; });
    ASSERT_NE(carolAt, bob.Views.States.end());
    const auto& carolTab = **carolAt;
    ASSERT_TRUE(Until([&] { return carolTab.Ended; }));
    EXPECT_FALSE(carolTab.Destroyed);
    EXPECT_TRUE(Until([&] { return bob.Reasons.back().empty(); }))
        << "the tray still says callers are turned away";
    auto erin = call("127.0.0.4");
    ASSERT_TRUE(erin->Send("Erin\r\n"));
    EXPECT_EQ(Receive(*erin, 5, 5s), "Bob\r\n");
    for (std::size_t i = 0; i < bob.Views.States.size(); ++i)
        EXPECT_FALSE(bob.Views.States[i]->ShownAsDialed) << "tab " << i;
}

// A caller is a stranger until it has said its name: silent, or with half a name, it is closed
// when its time is up, and a caller that hangs up before its name is complete leaves nothing.
// A caller that said its name in time stays.
TEST_F(CallGuardTest, ACallerWithoutAWholeNameLeavesNoTab)
{
    TCallLimits limits;
    limits.NameTimeout = 300ms;
    TSide bob(Dispatcher, "Bob", limits);
    const int port = PortOf(bob);
    TRawPeer named;
    TRawPeer silent;
    TRawPeer halfName;
    TRawPeer hangsUp;
    TRawPeer resets;
    for (TRawPeer* peer : { &named, &silent, &halfName, &hangsUp, &resets })
        ASSERT_TRUE(peer->Connect(port));
    ASSERT_TRUE(named.Send("Alice\r\n"));
    ASSERT_TRUE(halfName.Send("Mall"));
    ASSERT_TRUE(hangsUp.Send("Ev"));
    ASSERT_TRUE(Until([&] { return bob.Views.States.size() == 5; }));
    hangsUp.Close();
    resets.Reset();

    EXPECT_TRUE(Until([&] { return silent.ClosedByPeer(0ms) && halfName.ClosedByPeer(0ms); }));
    ASSERT_TRUE(Until([&] { return bob.Server->ConversationCount() == 1; }, 10s));
    const auto left = std::find_if(bob.Views.States.begin(), bob.Views.States.end(),
        [](const auto& state) { return !state->Destroyed; });
    ASSERT_NE(left, bob.Views.States.end());
    EXPECT_EQ((*left)->Caption, "Alice");
    EXPECT_EQ(std::count_if(bob.Views.States.begin(), bob.Views.States.end(),
                  [](const auto& state) { return state->Destroyed; }),
        4)
        << "no Close was pressed: the tabs went by themselves";
    EXPECT_EQ(Receive(named, 5, 5s), "Bob\r\n");
    EXPECT_TRUE(named.Send("still here\r"));
    EXPECT_TRUE(Until([&] { return (*left)->Transcript == "still here\n"; }));
}

} // namespace
} // namespace quillet
