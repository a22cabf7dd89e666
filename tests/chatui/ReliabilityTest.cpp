// The conversation machinery under load: a thousand callers at once, and callers that never end
// a line. The listener runs on an ephemeral loopback port with the real chat window and tabs;
// the callers are raw sockets in the test. Resident memory is read from /proc/self/statm before
// and after, once freed heap has been handed back to the system.
#include "chatui/TChatForm.h"
#include "chatui/TChatTabFactory.h"
#include "chatui/TConversationTab.h"
#include "chatui/TRichPane.h"
#include "chatui/TTabSheet.h"
#include "net/ProtocolEngine.h"
#include "net/TChatServer.h"
#include "platform/ProcessLimits.h"
#include "platform/TThread.h"
#include "platform/qt/QtMainThreadDispatcher.h"
#include "support/MemoryProbes.h"
#include "support/ProgramCopy.h"
#include "support/RawPeer.h"
#include "support/RunUntil.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

namespace quillet {
namespace {

using namespace std::chrono_literals;
using testing::HeapInUse;
using testing::TRawPeer;
using TClock = std::chrono::steady_clock;

// Three times as many callers as the program takes conversations, from as many computers as it
// takes for no address to reach its share.
constexpr std::size_t Answered = TCallLimits {}.MaxConversations;
constexpr int CallerCount = 3 * static_cast<int>(Answered);
constexpr int CallersPerAddress = static_cast<int>(TCallLimits {}.MaxPerAddress) - 10;
// Every caller holds one descriptor in the test, every conversation one in the program; the rest
// is headroom for the program's own files.
constexpr long DescriptorsNeeded = CallerCount + static_cast<long>(Answered) + 100;
constexpr std::int64_t StreamBytes = 10 * 1024 * 1024;
constexpr std::int64_t MiB = 1024 * 1024;

// Resident memory of this process once freed heap has been handed back, so that what is left
// is what the program still holds.
std::int64_t ResidentBytes()
{
    testing::TrimHeap();
    return testing::ResidentBytes();
}

double InMiB(std::int64_t bytes)
{
    return static_cast<double>(bytes) / static_cast<double>(MiB);
}

long long MillisecondsSince(TClock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - start).count();
}

// The program's side: chat window, tab factory and listener, answering as "Bob".
struct TCallee : testing::TProgramCopy {
    explicit TCallee(IMainThreadDispatcher& dispatcher)
        : TProgramCopy(dispatcher, "Bob")
    {
    }
};

// Rounds of the event loop at the program's pace; the timer looks at `done` every millisecond.
bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    return testing::RunUntil(done, timeout, 1ms);
}

// Reads what has arrived without blocking until `into` holds `count` bytes. The waits around it
// keep running the main thread, which is where replies are sent from.
bool ReadUpTo(const TRawPeer& peer, std::string& into, std::size_t count)
{
    if (into.size() < count)
        into += peer.Receive(count - into.size(), 0ms);
    return into.size() >= count;
}

bool WaitForBytes(const TRawPeer& peer, const std::string& expected, int timeoutMs)
{
    std::string got;
    const bool arrived
        = QTest::qWaitFor([&] { return ReadUpTo(peer, got, expected.size()); }, timeoutMs);
    EXPECT_TRUE(arrived) << got.size() << " of " << expected.size() << " bytes arrived";
    EXPECT_EQ(got, expected);
    return got == expected;
}

// Many callers at once.
class TCallerCrowd {
public:
    bool Connect(int count, int port, int perAddress)
    {
        for (int i = 0; i < count; ++i) {
            Peers.push_back(std::make_unique<TRawPeer>());
            if (!Peers.back()->Connect(port, testing::CrowdAddress(i, perAddress)))
                return false;
        }
        Received.assign(Peers.size(), std::string());
        Closed.assign(Peers.size(), false);
        return true;
    }
    // A caller that was turned away may be closed before its bytes go out: its send may fail.
    void Send(const std::function<std::string(std::size_t)>& bytesFor)
    {
        for (std::size_t i = 0; i < Peers.size(); ++i)
            Peers[i]->Send(bytesFor(i));
    }
    // True once every caller has either received `expected` or been closed by the program.
    bool AllGreetedOrClosed(const std::string& expected)
    {
        bool all = true;
        for (std::size_t i = 0; i < Peers.size(); ++i) {
            if (Closed[i] || Received[i].size() >= expected.size())
                continue;
            char buffer[64];
            const ssize_t n = ::recv(Peers[i]->Handle(), buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0)
                Received[i].append(buffer, static_cast<std::size_t>(n));
            else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
                Closed[i] = true;
            all = all && (Closed[i] || Received[i].size() >= expected.size());
        }
        return all;
    }
    std::size_t CountReceived(const std::string& expected) const
    {
        return static_cast<std::size_t>(std::count(Received.begin(), Received.end(), expected));
    }
    std::size_t CountClosedUngreeted() const
    {
        std::size_t n = 0;
        for (std::size_t i = 0; i < Peers.size(); ++i)
            n += Closed[i] && Received[i].empty() ? 1 : 0;
        return n;
    }
    void CloseAll()
    {
        for (auto& peer : Peers)
            peer->Close();
    }

    std::vector<std::unique_ptr<TRawPeer>> Peers;
    std::vector<std::string> Received;
    std::vector<bool> Closed;
};

class ReliabilityTest : public ::testing::Test {
protected:
    TQtMainThreadDispatcher Dispatcher;
};

std::size_t CountEnded(const testing::TTabTracker& views)
{
    return static_cast<std::size_t>(std::count_if(views.Tabs.begin(), views.Tabs.end(),
        [](TConversationTab* tab) { return tab->Controls().DisconnectButton->text() == "Close"; }));
}

// A caller is greeted by its conversation as soon as its name has arrived, without waiting for
// the main thread (which, with a crowd calling, is busy building everyone's tabs): here the main
// thread does nothing at all while the greeting comes. The tab's name follows once it runs.
TEST_F(ReliabilityTest, ACallerIsGreetedWhileTheMainThreadIsBusy)
{
    TCallee bob(Dispatcher);
    TRawPeer peer;
    ASSERT_TRUE(peer.Connect(bob.Port()));
    ASSERT_TRUE(RunUntil([&] { return bob.Server->ConversationCount() == 1; }, 10s));
    ASSERT_TRUE(peer.Send("Carol\r\n"));
    EXPECT_EQ(peer.Receive(5, 10s), "Bob\r\n");
    ASSERT_TRUE(RunUntil([&] { return bob.Views.Greeted() == 1; }, 10s));
    EXPECT_EQ(bob.Views.Tabs.front()->PeerName(), QStringLiteral("Carol"));
}

// A flood of callers: the program takes as many conversations as it allows, turns the rest away
// at once without a tab, says so, and answers again once conversations have ended.
TEST_F(ReliabilityTest, ThreeThousandCallersAtOnceGetAThousandConversationsAndTheRestAreTurnedAway)
{
    const long descriptors = RaiseOpenFileLimit();
    if (descriptors < DescriptorsNeeded) {
        GTEST_SKIP() << "needs " << DescriptorsNeeded << " open files, the system allows "
                     << descriptors;
    }
    TCallee bob(Dispatcher);
    const int port = bob.Port();
    const std::int64_t before = ResidentBytes();
    const std::int64_t heapBefore = HeapInUse();

    const auto start = TClock::now();
    TCallerCrowd crowd;
    ASSERT_TRUE(crowd.Connect(CallerCount, port, CallersPerAddress));
    crowd.Send([](std::size_t i) { return "peer" + std::to_string(i) + "\r\n"; });
    const bool settled
        = QTest::qWaitFor([&] { return crowd.AllGreetedOrClosed("Bob\r\n"); }, 120000);
    ASSERT_TRUE(settled) << crowd.CountReceived("Bob\r\n") << " greeted, "
                         << crowd.CountClosedUngreeted() << " turned away of " << CallerCount;
    const long long settledMs = MillisecondsSince(start);
    EXPECT_EQ(crowd.CountReceived("Bob\r\n"), Answered);
    EXPECT_EQ(crowd.CountClosedUngreeted(), CallerCount - Answered);
    // Callers are greeted before their tabs are built; the tabs follow, each carrying the name
    // of its own caller: no greeting went to the wrong conversation.
    ASSERT_TRUE(QTest::qWaitFor([&] { return bob.Views.Greeted() == Answered; }, 30000));
    EXPECT_EQ(bob.Views.Tabs.size(), Answered) << "no tab for a caller turned away";
    EXPECT_EQ(bob.Form.TabCount(), static_cast<int>(Answered));
    EXPECT_EQ(bob.Server->ConversationCount(), Answered);
    ASSERT_FALSE(bob.ListenReasons.empty());
    EXPECT_NE(bob.ListenReasons.back().find("callers are turned away"), std::string::npos);
    std::set<QString> names;
    for (TConversationTab* tab : bob.Views.Tabs)
        names.insert(tab->PeerName());
    EXPECT_EQ(names.size(), Answered);
    const std::int64_t open = ResidentBytes();
    const std::int64_t heapOpen = HeapInUse();
    // What a conversation with its tab costs, with room to spare; callers turned away cost
    // nothing, so three times as many conversations would not fit.
    EXPECT_LT(heapOpen - heapBefore, static_cast<std::int64_t>(Answered) * 256 * 1024);

    // Every caller hangs up: every tab ends, once, and stays; ended conversations hold no
    // connection, so the next caller is answered while their tabs stay.
    crowd.CloseAll();
    const bool ended = QTest::qWaitFor([&] { return CountEnded(bob.Views) == Answered; }, 90000);
    ASSERT_TRUE(ended) << CountEnded(bob.Views) << " of " << Answered << " tabs ended";
    EXPECT_TRUE(QTest::qWaitFor([&] { return bob.Offers.size() == Answered; }, 10000));
    {
        TRawPeer late;
        ASSERT_TRUE(late.Connect(port));
        ASSERT_TRUE(late.Send("late\r\n"));
        EXPECT_TRUE(WaitForBytes(late, "Bob\r\n", 10000));
        // Greeted before its tab is built; the tab follows.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return bob.Form.TabCount() == static_cast<int>(Answered) + 1; }, 10000));
    }

    // The window is closed and the user answers Yes: every tab goes, every conversation ends,
    // and the next caller is answered.
    const auto closing = TClock::now();
    EXPECT_TRUE(bob.Form.close());
    EXPECT_EQ(bob.Prompts.Questions, std::vector<std::string> { "Close all chats?" });
    const bool removed = QTest::qWaitFor(
        [&] {
            return bob.Form.TabCount() == 0 && bob.Context.LiveConversations.load() == 0
                && bob.Views.AllSheetsGone();
        },
        60000);
    ASSERT_TRUE(removed) << bob.Form.TabCount() << " tabs left, "
                         << bob.Context.LiveConversations.load() << " conversations alive";
    const long long closedMs = MillisecondsSince(closing);
    EXPECT_EQ(bob.Server->ConversationCount(), 0u);
    EXPECT_FALSE(bob.Form.isVisible());
    EXPECT_EQ(TThread::LiveCount(), 1) << "only the listener's thread is left";
    {
        TRawPeer later;
        ASSERT_TRUE(later.Connect(port));
        ASSERT_TRUE(later.Send("later\r\n"));
        EXPECT_TRUE(WaitForBytes(later, "Bob\r\n", 10000));
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return bob.ListenReasons.back().empty(); }, 10000))
        << "the tray tip no longer says callers are turned away";

    const std::int64_t after = ResidentBytes();
    const std::int64_t heapAfter = HeapInUse();
    std::printf("%d callers: settled in %lld ms (%zu greeted), removed in %lld ms\n", CallerCount,
        settledMs, Answered, closedMs);
    std::printf("resident MiB: before %.1f, open %.1f, after close %.1f (%+.1f)\n", InMiB(before),
        InMiB(open), InMiB(after), InMiB(after - before));
    std::printf("heap in use MiB: before %.1f, open %.1f, after close %.1f (%+.1f)\n",
        InMiB(heapBefore), InMiB(heapOpen), InMiB(heapAfter), InMiB(heapAfter - heapBefore));
    // What the program still holds: caches made once (fonts, styles), nothing per conversation.
    EXPECT_LT(heapAfter - heapBefore, 16 * MiB);
    // Under the sanitizer the resident size mostly measures its shadow of a thousand thread
    // stacks and of the heap, which it keeps mapped; there the heap figure above is the measure.
    if (!testing::UnderAddressSanitizer()) {
        EXPECT_LT(after - before, 60 * MiB);
    }
}

// A caller that streams text without ever ending a line.
class StreamingCallerTest : public ReliabilityTest {
protected:
    // The byte at position `i` of every stream: letters, no line end, no signal.
    static char StreamByte(std::int64_t i) { return static_cast<char>('a' + i % 26); }

    TConversationTab& Answer(TRawPeer& peer)
    {
        EXPECT_TRUE(peer.Connect(Bob.Port()));
        EXPECT_TRUE(QTest::qWaitFor([&] { return Bob.Views.Tabs.size() == 1; }, 10000));
        return *Bob.Views.Tabs.at(0);
    }

    void Greet(TRawPeer& peer, TConversationTab& tab)
    {
        ASSERT_TRUE(peer.Send("Carol\r\n"));
        ASSERT_TRUE(WaitForBytes(peer, "Bob\r\n", 10000));
        // The greeting leaves before the tab takes the name in.
        EXPECT_TRUE(QTest::qWaitFor([&] { return tab.PeerName() == "Carol"; }, 10000));
    }

    // Sends `total` stream bytes without blocking, so that the main thread keeps taking them in
    // meanwhile. True when all were sent.
    bool Stream(TRawPeer& peer, std::int64_t total, const TRichPane* shownIn = nullptr)
    {
        MiBTimes.clear();
        LastMark = TClock::now();
        std::int64_t sent = 0;
        bool broken = false;
        std::string piece;
        const bool done = RunUntil(
            [&] {
                NotePace(shownIn);
                while (sent < total && !broken) {
                    const std::int64_t size = std::min<std::int64_t>(64 * 1024, total - sent);
                    piece.resize(static_cast<std::size_t>(size));
                    for (std::int64_t i = 0; i < size; ++i)
                        piece[static_cast<std::size_t>(i)] = StreamByte(sent + i);
                    const ssize_t n = ::send(
                        peer.Handle(), piece.data(), piece.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
                    if (n < 0) {
                        broken = errno != EAGAIN && errno != EWOULDBLOCK;
                        return broken;
                    }
                    sent += n;
                }
                return true;
            },
            100s);
        EXPECT_TRUE(done) << sent << " of " << total << " bytes sent";
        EXPECT_FALSE(broken);
        EXPECT_EQ(sent, total);
        return sent == total && !broken;
    }

    // Notes how long each MiB of the stream took to show in `pane`: a pace that falls as the
    // text grows would reveal a cost per chunk that grows with the text held.
    void NotePace(const TRichPane* pane)
    {
        if (pane == nullptr)
            return;
        const qsizetype shown = pane->document()->characterCount();
        while (shown >= (static_cast<qsizetype>(MiBTimes.size()) + 1) * MiB) {
            const auto now = TClock::now();
            MiBTimes.push_back(
                std::chrono::duration_cast<std::chrono::milliseconds>(now - LastMark).count());
            LastMark = now;
        }
    }

    // Characters `pane` has taken in: those it holds and those it let go.
    static qint64 TakenIn(const TRichPane& pane)
    {
        return pane.RemovedChars() + pane.EndPosition() - pane.KeptStart();
    }

    // Waits until `pane` has taken in `total` characters.
    bool WaitForLength(const TRichPane& pane, qsizetype total)
    {
        return RunUntil(
            [&] {
                NotePace(&pane);
                return TakenIn(pane) >= total;
            },
            100s);
    }

    // Index of the first character of `text` from `from` on that is not the stream's from its
    // byte `streamAt` on, or -1.
    static qsizetype FirstWrongChar(
        const QString& text, qsizetype from, qsizetype length, std::int64_t streamAt = 0)
    {
        for (qsizetype i = 0; i < length; ++i) {
            if (text.at(from + i) != QLatin1Char(StreamByte(streamAt + i)))
                return i;
        }
        return -1;
    }

    // A pane that let its oldest text go keeps between three quarters of its limit (less the
    // paragraph the cut fell into) and the limit.
    static void ExpectKeptWithinLimit(qsizetype kept, int limit)
    {
        EXPECT_LE(kept, limit);
        EXPECT_GE(kept, limit * 3 / 4 - TRichPane::MaxBlockChars);
    }

    // Both ways still work: what the caller sends is shown, keys typed in the tab reach it.
    static void ExpectStillAnswering(
        TRawPeer& peer, TConversationTab& tab, const std::string& send, const QString& shownLine)
    {
        ASSERT_TRUE(peer.Send(send));
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return tab.Controls().Transcript->Text().endsWith(shownLine); }, 10000))
            << tab.Controls().Transcript->Text().right(40).toStdString();
        for (const QChar c : QStringLiteral("yo"))
            tab.Controls().LocalPane->TypeChar(c.unicode());
        EXPECT_TRUE(WaitForBytes(peer, "yo", 10000));
    }

    // Streams StreamBytes into `pane` and waits until all of it shows; reports the time and the
    // memory it took and returns the growth of the heap in use. That is what the conversation
    // keeps: the resident size also holds freed pages the allocator could not hand back (on a
    // busy machine the chunks' buffers scatter over the heap and a few live objects pin them).
    std::int64_t StreamInto(TRawPeer& peer, const TRichPane& pane, const char* what)
    {
        const std::int64_t residentBefore = ResidentBytes();
        const std::int64_t before = HeapInUse();
        const auto start = TClock::now();
        EXPECT_TRUE(Stream(peer, StreamBytes, &pane));
        EXPECT_TRUE(WaitForLength(pane, StreamBytes)) << pane.Text().size() << " characters shown";
        const long long ms = MillisecondsSince(start);
        const std::int64_t growth = HeapInUse() - before;
        Report(what, growth, ResidentBytes() - residentBefore, ms);
        return growth;
    }

    void Report(
        const char* what, std::int64_t heapGrowth, std::int64_t residentGrowth, long long ms) const
    {
        std::printf("%s: 10 MiB taken in %lld ms (%.1f MiB/s); heap growth %.1f MiB, %.2f bytes "
                    "per byte received; resident growth %.1f MiB\n",
            what, ms, ms > 0 ? 10000.0 / static_cast<double>(ms) : 0.0, InMiB(heapGrowth),
            static_cast<double>(heapGrowth) / static_cast<double>(StreamBytes),
            InMiB(residentGrowth));
        if (!MiBTimes.empty()) {
            std::printf("  ms per MiB shown:");
            for (const long long t : MiBTimes)
                std::printf(" %lld", t);
            std::printf("\n");
        }
    }

    std::vector<long long> MiBTimes;
    TClock::time_point LastMark;

    TCallee Bob { Dispatcher };
};

TEST_F(StreamingCallerTest, ANameThatNeverEndsIsCappedAndCostsNoMemory)
{
    TRawPeer peer;
    TConversationTab& tab = Answer(peer);
    const std::int64_t residentBefore = ResidentBytes();
    const std::int64_t before = HeapInUse();
    const auto start = TClock::now();
    ASSERT_TRUE(Stream(peer, StreamBytes));
    // Only the CR ends the name; the reply proves every byte before it was taken in.
    ASSERT_TRUE(peer.Send("\r\n"));
    std::string reply;
    ASSERT_TRUE(RunUntil([&] { return ReadUpTo(peer, reply, 5); }, 100s));
    ASSERT_EQ(reply, "Bob\r\n");
    const long long ms = MillisecondsSince(start);
    const std::int64_t growth = HeapInUse() - before;
    Report("name phase", growth, ResidentBytes() - residentBefore, ms);

    // The greeting leaves before the tab takes the name in.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !tab.PeerName().isEmpty(); }, 10000));
    const QString name = tab.PeerName();
    ASSERT_EQ(name.size(), static_cast<qsizetype>(TProtocolEngine::MaxNameBytes));
    EXPECT_EQ(FirstWrongChar(name, 0, name.size()), -1);
    EXPECT_LT(growth, 8 * MiB);
    ExpectStillAnswering(peer, tab, "ok\r", "ok\n");
}

TEST_F(StreamingCallerTest, RealtimeTextWithoutLineEndsKeepsItsLatestPartInBoundedMemory)
{
    TRawPeer peer;
    TConversationTab& tab = Answer(peer);
    Greet(peer, tab);
    ASSERT_EQ(tab.Style(), TChatStyle::Realtime);
    const TRichPane& transcript = *tab.Controls().Transcript;
    const std::int64_t growth = StreamInto(peer, transcript, "realtime transcript");

    // One line says that older text went; the rest is the latest part of the stream, exactly.
    const QString text = transcript.Text();
    const QString removed = QStringLiteral("*** Earlier text was removed ***\n");
    ASSERT_TRUE(text.startsWith(removed)) << text.left(60).toStdString();
    const qsizetype kept = text.size() - removed.size();
    ExpectKeptWithinLimit(kept, TConversationTab::MaxTranscriptChars);
    EXPECT_EQ(FirstWrongChar(text, removed.size(), kept, StreamBytes - kept), -1);
    EXPECT_FALSE(text.mid(removed.size()).contains(QLatin1Char('\n')))
        << "no line end arrived, so none is shown";
    // What is kept is bounded, not what was received: 10 MiB took 200 MiB when all was kept.
    EXPECT_LT(growth, 48 * MiB);
    ExpectStillAnswering(peer, tab, "ok\r", "ok\n");
}

TEST_F(StreamingCallerTest, PreviewLineWithoutLineEndsKeepsItsLatestPartAndCommitsOnCr)
{
    TRawPeer peer;
    TConversationTab& tab = Answer(peer);
    Greet(peer, tab);
    // The caller picks IM with preview; the callee follows and answers with the same signal.
    ASSERT_TRUE(peer.Send("\xFC"));
    ASSERT_TRUE(WaitForBytes(peer, "\xFC", 10000));
    // The answer leaves before the window shows the switch.
    ASSERT_TRUE(QTest::qWaitFor([&] { return tab.Style() == TChatStyle::IMPreview; }, 10000));
    const TRichPane& preview = *tab.Controls().PreviewPane;
    const std::int64_t growth = StreamInto(peer, preview, "preview line");

    const QString line = preview.Text();
    ExpectKeptWithinLimit(line.size(), TConversationTab::MaxPreviewChars);
    EXPECT_EQ(FirstWrongChar(line, 0, line.size(), StreamBytes - line.size()), -1);
    EXPECT_TRUE(tab.Controls().Transcript->IsEmpty()) << "nothing is committed before the CR";
    EXPECT_LT(growth, 16 * MiB);

    // The CR commits the line as kept under the caller's name; the preview starts again.
    ASSERT_TRUE(peer.Send("\r"));
    const TRichPane& transcript = *tab.Controls().Transcript;
    ASSERT_TRUE(QTest::qWaitFor([&] { return preview.IsEmpty(); }, 10000));
    const QString committed = transcript.Text();
    EXPECT_EQ(committed, QStringLiteral("Carol: ") + line + QLatin1Char('\n'));
    // In IM with preview a line shows in the preview until its CR commits it.
    ASSERT_TRUE(peer.Send("ok"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return preview.Text() == "ok"; }, 10000));
    ExpectStillAnswering(peer, tab, "\r", "Carol: ok\n");
}

} // namespace
} // namespace quillet
