// Conversations and the listener without widgets: fake tabs, a queue dispatcher as the main
// thread, and raw sockets or a second listener as the other side.
#include "ConversationSide.h"

#include <algorithm>
#include <arpa/inet.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace quillet {
namespace {

using namespace std::chrono_literals;
using testing::TRawPeer;
using testing::TSide;

class ConversationTest : public testing::TConversationFixture { };

TEST_F(ConversationTest, CalleeRepliesWithItsNameWhenTheCallersNameIsComplete)
{
    TSide bob(Dispatcher, "Bob");
    TRawPeer alice;
    ASSERT_TRUE(alice.Connect(PortOf(bob)));
    ASSERT_TRUE(Until([&] { return bob.Views.States.size() == 1; }));
    EXPECT_EQ(bob.WindowShown, 1);
    // Nothing is sent before the caller's name is complete.
    EXPECT_EQ(Receive(alice, 1, 300ms), "");

    ASSERT_TRUE(alice.Send("Alice\r\n\xFB"));
    EXPECT_EQ(Receive(alice, 6, 2s), "Bob\r\n\xFB");
    const auto& tab = *bob.Views.States[0];
    EXPECT_TRUE(Until([&] { return tab.Caption == "Alice"; }));
    EXPECT_TRUE(Until([&] { return tab.Style == TChatStyle::IM; }));
    EXPECT_EQ(tab.Marked, TChatStyle::IM);
    EXPECT_EQ(tab.Transcript, "");
    EXPECT_EQ(tab.Info.rfind("IP: 127.0.0.1 -- PORT: ", 0), 0u) << tab.Info;
    EXPECT_EQ(tab.PeerAddress, "127.0.0.1 " + tab.Info.substr(tab.Info.rfind(' ') + 1));
}

// The conversation thread answers what it receives: the callee's greeting and the echo of a
// style signal leave while the main thread is busy elsewhere (here it runs nothing at all), and
// the window follows once it gets its turn.
TEST_F(ConversationTest, GreetingAndEchoLeaveWhileTheMainThreadIsBusy)
{
    TSide bob(Dispatcher, "Bob");
    TRawPeer alice;
    ASSERT_TRUE(alice.Connect(PortOf(bob)));
    ASSERT_TRUE(alice.Send("Alice\r\n"));
    EXPECT_EQ(alice.Receive(5, 5s), "Bob\r\n");
    for (const char* signal : { "\xFB", "\xFC", "\xFA", "\xFB" }) {
        ASSERT_TRUE(alice.Send(signal));
        EXPECT_EQ(alice.Receive(1, 5s), signal);
    }
    ASSERT_TRUE(Until([&] { return bob.Views.States.size() == 1; }));
    const auto& tab = *bob.Views.States[0];
    EXPECT_TRUE(Until([&] { return tab.Caption == "Alice" && tab.Marked == TChatStyle::IM; }));
    EXPECT_EQ(tab.Style, TChatStyle::IM);
}

TEST_F(ConversationTest, GreetingSplitIntoManyChunksGivesTheSameName)
{
    TSide bob(Dispatcher, "Bob");
    TRawPeer alice;
    ASSERT_TRUE(alice.Connect(PortOf(bob)));
    ASSERT_TRUE(Until([&] { return bob.Views.States.size() == 1; }));
    for (const char c : std::string("Alice Smith\r\nhi\r")) {
        ASSERT_TRUE(alice.Send(std::string(1, c)));
        Dispatcher.ProcessFor(2ms);
    }
    EXPECT_EQ(Receive(alice, 5, 2s), "Bob\r\n");
    const auto& tab = *bob.Views.States[0];
    EXPECT_TRUE(Until([&] { return tab.Transcript == "hi\n"; })) << tab.Transcript;
    EXPECT_EQ(tab.Caption, "Alice Smith");
}

TEST_F(ConversationTest, EmptyNameStillGetsOneReplyAndTheNamePhaseGoesOn)
{
    TSide bob(Dispatcher, "Bob");
    TRawPeer peer;
    ASSERT_TRUE(peer.Connect(PortOf(bob)));
    ASSERT_TRUE(peer.Send("\r"));
    EXPECT_EQ(Receive(peer, 5, 2s), "Bob\r\n");
    ASSERT_TRUE(peer.Send("Carol\r\n"));
    ASSERT_TRUE(Until(
        [&] { return !bob.Views.States.empty() && bob.Views.States[0]->Caption == "Carol"; }));
    EXPECT_EQ(Receive(peer, 1, 300ms), "") << "the greeting is sent once";
}

std::size_t OpenDescriptors()
{
    const std::filesystem::directory_iterator open("/proc/self/fd");
    return static_cast<std::size_t>(std::distance(begin(open), end(open)));
}

// An ended conversation keeps its tab and nothing else: its thread, its socket and its wake-up
// signal are gone while the tab waits for Close.
TEST_F(ConversationTest, PeerResetEndsTheConversationOnceAndOffersThePeer)
{
    TSide bob(Dispatcher, "Bob");
    const int port = PortOf(bob);
    const int threads = TThread::LiveCount();
    const std::size_t descriptors = OpenDescriptors();
    TRawPeer alice;
    ASSERT_TRUE(alice.Connect(port));
    ASSERT_TRUE(alice.Send("Alice\r\n"));
    EXPECT_EQ(Receive(alice, 5, 2s), "Bob\r\n");
    alice.Reset();
    ASSERT_TRUE(Until([&] { return bob.Views.States[0]->Ended; }));
    const auto& tab = *bob.Views.States[0];
    EXPECT_EQ(std::count(tab.StatusLines.begin(), tab.StatusLines.end(), "Disconnected"), 1);
    ASSERT_EQ(bob.Offers.size(), 1u);
    EXPECT_EQ(bob.Offers[0].Peer, "Alice");
    EXPECT_EQ(bob.Offers[0].Address, "127.0.0.1");
    EXPECT_FALSE(tab.Owner->IsConnected());
    EXPECT_TRUE(Until([&] { return TThread::LiveCount() == threads; })) << "its thread stays";
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_FALSE(tab.Destroyed);
    EXPECT_EQ(bob.Server->ConversationCount(), 1u);

    // "Close" removes the tab; the last one hides the chat window.
    tab.Owner->DisconnectButtonClick();
    EXPECT_TRUE(Until([&] { return tab.Destroyed && bob.Server->ConversationCount() == 0; }));
    EXPECT_EQ(bob.WindowHidden, 1);
}

// An idle conversation's thread sleeps until a byte arrives or a deadline comes: a key typed in
// IM sets one on the main thread, which must wake it for the typing signal that is due later.
TEST_F(ConversationTest, AKeyTypedInImWakesTheSleepingConversationForItsTypingSignal)
{
    TSide bob(Dispatcher, "Bob");
    TRawPeer alice;
    ASSERT_TRUE(alice.Connect(PortOf(bob)));
    ASSERT_TRUE(alice.Send("Alice\r\n\xFB"));
    EXPECT_EQ(Receive(alice, 6, 5s), "Bob\r\n\xFB");
    auto& tab = *bob.Views.States[0];
    ASSERT_TRUE(Until([&] { return tab.Style == TChatStyle::IM; }));
    tab.Owner->Input().TypingPaneChanged("k", 0);
    EXPECT_EQ(Receive(alice, 2, 5s), "\xF9\xF7") << "typing, then stopped 2 s after the key";
}

TEST_F(ConversationTest, RefusedCallShowsConnectingThenDisconnectedAndWhy)
{
    TSide alice(Dispatcher, "Alice");
    PortOf(alice);
    int refusedPort = 0;
    {
        TSide gone(Dispatcher, "Gone"); // listens, then stops: nothing listens there afterwards
        refusedPort = PortOf(gone);
    }
    alice.Server->RequestCall("127.0.0.1", std::to_string(refusedPort), TChatStyle::IM);
    ASSERT_TRUE(Until([&] { return !alice.Views.States.empty() && alice.Views.States[0]->Ended; }));
    const auto& tab = *alice.Views.States[0];
    const std::string port = std::to_string(refusedPort);
    const std::vector<std::string> expected
        = { "Connecting to 127.0.0.1 on port " + port, "Disconnected",
              "The other computer refused the call: nothing answers on port " + port + "." };
    EXPECT_EQ(tab.StatusLines, expected);
    EXPECT_EQ(tab.PeerAddress, "127.0.0.1 " + port) << "as dialed";
    EXPECT_EQ(tab.Info, "IP: 127.0.0.1 -- PORT: " + port) << "as dialed";
    EXPECT_EQ(alice.WindowShown, 1);
    ASSERT_EQ(alice.Offers.size(), 1u);
    EXPECT_EQ(alice.Offers[0].Peer, "");
}

TEST_F(ConversationTest, TwoSidesGreetTypeSwitchAndDisconnect)
{
    TSide alice(Dispatcher, "Alice");
    TSide bob(Dispatcher, "Bob");
    alice.Server->RequestCall("127.0.0.1", std::to_string(PortOf(bob)), TChatStyle::IM);
    ASSERT_TRUE(Until([&] {
        return alice.Views.States.size() == 1 && bob.Views.States.size() == 1
            && alice.Views.States[0]->Caption == "Bob" && bob.Views.States[0]->Caption == "Alice"
            && alice.Views.States[0]->Marked == TChatStyle::IM
            // The caller's style comes after its name.
            && bob.Views.States[0]->Style == TChatStyle::IM;
    }));
    auto& a = *alice.Views.States[0];
    auto& b = *bob.Views.States[0];
    EXPECT_EQ(b.Style, TChatStyle::IM);
    EXPECT_EQ(a.Style, TChatStyle::IM);

    // IM: Alice types "hi" and sends it; Bob sees her label, the line and an empty notice.
    a.Owner->Input().TypingPaneChanged("h", 0);
    ASSERT_TRUE(Until([&] { return b.TypingNotice == "Alice is typing..."; }));
    a.Owner->Input().TypingPaneChanged("hi", 0);
    a.Owner->Input().SendLine("hi");
    ASSERT_TRUE(Until([&] { return b.Transcript == "Alice: hi\n"; })) << b.Transcript;
    EXPECT_EQ(b.TypingNotice, "");
    EXPECT_GE(b.Attention, 1);

    // Bob switches to Realtime; the switch is echoed and both agree.
    b.Owner->Input().UserChoseStyle(TChatStyle::Realtime);
    ASSERT_TRUE(
        Until([&] { return a.Style == TChatStyle::Realtime && a.Marked == TChatStyle::Realtime; }));
    b.Owner->Input().TypingPaneChanged("y", 0);
    ASSERT_TRUE(Until([&] { return a.Transcript.size() >= 1 && a.Transcript.back() == 'y'; }));

    // Alice disconnects: both sides end, "Disconnected" once each.
    a.Owner->DisconnectButtonClick();
    ASSERT_TRUE(Until([&] { return a.Ended && b.Ended; }));
    EXPECT_EQ(std::count(b.StatusLines.begin(), b.StatusLines.end(), "Disconnected"), 1);
    EXPECT_LE(std::count(a.StatusLines.begin(), a.StatusLines.end(), "Disconnected"), 1);
}

TEST_F(ConversationTest, CloseAllRemovesEveryTabAndHidesTheWindow)
{
    TSide bob(Dispatcher, "Bob");
    const int port = PortOf(bob);
    TRawPeer peers[3];
    for (auto& peer : peers) {
        ASSERT_TRUE(peer.Connect(port));
        ASSERT_TRUE(peer.Send("peer\r\n"));
    }
    ASSERT_TRUE(Until([&] {
        return bob.Views.States.size() == 3
            && std::all_of(bob.Views.States.begin(), bob.Views.States.end(),
                [](const auto& state) { return state->Caption == "peer"; });
    }));
    bob.Server->CloseAll();
    ASSERT_TRUE(Until([&] { return bob.Server->ConversationCount() == 0; }));
    for (const auto& state : bob.Views.States)
        EXPECT_TRUE(state->Destroyed);
    EXPECT_EQ(bob.WindowHidden, 1);
    for (auto& peer : peers) {
        EXPECT_EQ(Receive(peer, 5, 2s), "Bob\r\n");
        EXPECT_TRUE(peer.ClosedByPeer(2s));
    }
}

TEST_F(ConversationTest, StopEndsEveryConversationWithoutOffers)
{
    TSide bob(Dispatcher, "Bob");
    const int port = PortOf(bob);
    TRawPeer peers[5];
    for (auto& peer : peers)
        ASSERT_TRUE(peer.Connect(port));
    ASSERT_TRUE(Until([&] { return bob.Server->ConversationCount() == 5; }));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(bob.Stop());
    const auto took = std::chrono::steady_clock::now() - start;
    std::printf("stop with five conversations took %lld ms\n",
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
    EXPECT_TRUE(bob.Offers.empty());
    EXPECT_EQ(bob.Context.LiveConversations.load(), 0);
}

TEST_F(ConversationTest, CloseAllBeforeTheConnectionIsTakenOverStillEndsIt)
{
    TSide bob(Dispatcher, "Bob");
    // The tab is built before the accepted connection is adopted: a close-all made right then
    // finds no socket to close and must not be lost.
    bob.Views.OnCreate = [&] { bob.Server->CloseAll(); };
    TRawPeer peer;
    ASSERT_TRUE(peer.Connect(PortOf(bob)));
    ASSERT_TRUE(Until([&] { return bob.Views.States.size() == 1; }));
    EXPECT_TRUE(Until([&] { return bob.Views.States[0]->Destroyed; }, 3s));
    EXPECT_TRUE(Until([&] { return bob.Server->ConversationCount() == 0; }));
    EXPECT_TRUE(peer.ClosedByPeer(2s));
}

TEST_F(ConversationTest, TakenPortIsRetriedUntilFree)
{
    TSide first(Dispatcher, "First");
    const int port = PortOf(first);
    TConversationContext& context = first.Context;
    bool listening = true;
    std::string reason;
    TChatServerHooks hooks;
    hooks.ListenStateChanged = [&](bool now, const std::string& why) {
        listening = now;
        reason = why;
    };
    TChatServer second(context, hooks, "127.0.0.1", std::to_string(port));
    second.Start();
    ASSERT_TRUE(Until([&] { return !listening; }));
    EXPECT_EQ(reason, "Address already in use");
    first.Stop();
    EXPECT_TRUE(Until([&] { return listening; }, 5s));
    EXPECT_EQ(second.ListeningPort(), port);
    EXPECT_TRUE(second.StopAndWait([&] { Dispatcher.ProcessFor(5ms); }, 5s));
}

// Keeps the process from opening any further descriptor (the open-file limit lowered to what is
// open, the gaps below it filled) until destroyed.
class TDescriptorsExhausted {
public:
    TDescriptorsExhausted()
    {
        ::getrlimit(RLIMIT_NOFILE, &Saved);
        int highest = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
            highest = std::max(highest, std::stoi(entry.path().filename().string()));
        rlimit lowered = Saved;
        lowered.rlim_cur = static_cast<rlim_t>(highest) + 1;
        ::setrlimit(RLIMIT_NOFILE, &lowered);
        for (int fd = ::open("/dev/null", O_RDONLY); fd >= 0; fd = ::open("/dev/null", O_RDONLY))
            Fillers.push_back(fd);
    }
    ~TDescriptorsExhausted()
    {
        for (const int fd : Fillers)
            ::close(fd);
        ::setrlimit(RLIMIT_NOFILE, &Saved);
    }

private:
    rlimit Saved {};
    std::vector<int> Fillers;
};

// Out of descriptors, an accept fails while its caller stays queued, so the listening socket
// stays readable: the listener must retry at its pace instead of spinning, say why calls are not
// answered, and answer again once descriptors are free.
TEST_F(ConversationTest, AListenerWhoseAcceptFailsRetriesEveryHalfSecondAndSaysWhy)
{
    TSide bob(Dispatcher, "Bob");
    ASSERT_TRUE(Until([&] { return bob.Listening; }));
    const int caller = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(caller, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(bob.Server->ListeningPort()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    {
        TDescriptorsExhausted exhausted;
        ASSERT_EQ(::connect(caller, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_TRUE(Until([&] { return bob.Server->AcceptFailures() >= 1; }));
        const auto first = std::chrono::steady_clock::now();
        ASSERT_TRUE(Until([&] { return bob.Server->AcceptFailures() >= 3; }, 10s));
        // Two retries, each after a pause of its own (a spinning listener makes thousands).
        EXPECT_GE(std::chrono::steady_clock::now() - first,
            2 * std::chrono::milliseconds(TChatServer::AcceptRetryMs) - 50ms);
        ASSERT_TRUE(Until([&] { return !bob.Listening; }));
        EXPECT_EQ(bob.Reasons.back(), "Too many open files");
    }
    EXPECT_TRUE(Until([&] { return bob.Views.States.size() == 1; }, 5s)) << "answered once it can";
    EXPECT_TRUE(Until([&] { return bob.Listening && bob.Reasons.back().empty(); }));
    ::close(caller);
}

} // namespace
} // namespace quillet
