// Whole conversations under load, both ends real: copies of the conversation side (chat window,
// tab factory, listener on an ephemeral loopback port, the Qt dispatcher) in one process (for the
// keys also with the receiving copy in a process of its own, as two users run them), calls
// dialed to 127.0.0.1, and plain TCP peers written here where a figure needs exact control of
// the bytes. A timing program that prints a table; it runs on the offscreen platform unless
// QT_QPA_PLATFORM says otherwise, and every wait in it has a deadline.
//
//   bench_conversation [--quick] [--only=keys,stream,lines,idle,memory,call,callers]
//                      [--keys=N] [--key-gap-ms=N] [--idle-seconds=N] [--idle-conversations=N]
//                      [--memory-conversations=N] [--calls=N] [--callers=N]
//                      [--stream-bytes=N] [--lines=N]
//
// --quick shortens the idle period to 10 s and types 500 keys; the defaults are the figures of
// record.

#include "ConversationBenchSupport.h"

#include "platform/ProcessLimits.h"

#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>

#include <cstdlib>
#include <cstring>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace quillet;
using namespace quillet::bench;

struct TOptions {
    int Keys = 2000;
    int KeyGapMs = 20;
    int IdleSeconds = 60;
    int IdleConversations = 100;
    int MemoryConversations = 200;
    int Calls = 50;
    int Callers = 1000;
    std::size_t StreamBytes = 1 << 20;
    int Lines = 10000;
    std::string Only;

    bool Wants(const char* name) const
    {
        if (Only.empty())
            return true;
        const std::string list = "," + Only + ",";
        return list.find("," + std::string(name) + ",") != std::string::npos;
    }
};

// One line of the final table.
struct TRow {
    std::string Figure;
    std::string Value;
    std::string Goal;
    std::string Verdict; // "met", "MISSED" or "" where there is no goal
};

std::vector<TRow> Rows;
int Failures = 0;

std::string Fixed(double value, int decimals)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

void AddRow(
    std::string figure, std::string value, std::string goal = {}, std::optional<bool> met = {})
{
    Rows.push_back({ std::move(figure), std::move(value), std::move(goal),
        met ? (*met ? "met" : "MISSED") : "" });
}

void Fail(const std::string& what)
{
    std::printf("  ! %s\n", what.c_str());
    ++Failures;
}

void PrintSummary(const char* what, const TSummary& s, const char* unit)
{
    std::printf("  %-48s n=%-5zu median %8.3f  p99 %8.3f  min %8.3f  max %8.3f %s\n", what, s.Count,
        s.Median, s.P99, s.Min, s.Max, unit);
}

// ASCII words with spaces and no line break.
std::string WordStream(std::size_t size)
{
    static const char* const words[] = { "quick ", "brown ", "fox ", "jumps ", "over ", "the ",
        "lazy ", "dog ", "while ", "you ", "read ", "it ", "typing ", "along " };
    std::string s;
    s.reserve(size + 16);
    for (std::size_t i = 0; s.size() < size; ++i)
        s += words[i % (sizeof words / sizeof words[0])];
    s.resize(size);
    return s;
}

// --- 1. key typed in tab A to the character in tab B ---

// The bare path a byte takes in the receiving copy, for comparison: a thread waits for it on a
// loopback socket (poll, recv) and hands it to the main thread through the event loop.
class TBareRelay {
public:
    TBareRelay()
    {
        Listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(Listener, reinterpret_cast<sockaddr*>(&address), length) != 0
            || ::listen(Listener, 1) != 0
            || ::getsockname(Listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        Port = ntohs(address.sin_port);
        Thread = std::thread([this] { Run(); });
    }
    ~TBareRelay()
    {
        ::shutdown(Listener, SHUT_RDWR);
        if (Thread.joinable())
            Thread.join();
        ::close(Listener);
    }
    TBareRelay(const TBareRelay&) = delete;
    TBareRelay& operator=(const TBareRelay&) = delete;

    int Port = 0;
    // Bytes handed to the main thread so far, and when the last one got there.
    int Arrived = 0;
    long long ArrivedAt = 0;

private:
    void Run()
    {
        const int connection = ::accept(Listener, nullptr, nullptr);
        if (connection < 0)
            return;
        for (;;) {
            pollfd entry { connection, POLLIN, 0 };
            if (::poll(&entry, 1, 300) == 0)
                continue;
            char buffer[64];
            const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
            if (got <= 0)
                break;
            QMetaObject::invokeMethod(
                qApp,
                [this, got] {
                    Arrived += static_cast<int>(got);
                    ArrivedAt = TClock::now().time_since_epoch().count();
                },
                Qt::QueuedConnection);
        }
        ::close(connection);
    }

    int Listener = -1;
    std::thread Thread;
};

void KeyLatency(TCountingDispatcher& dispatcher, const TOptions& options)
{
    std::printf("\n[keys] %d Realtime keys typed into tab A, %d ms apart; %s\n", options.Keys,
        options.KeyGapMs, MachineLoad().c_str());
    TCopy alice(dispatcher, "Alice");
    TCopy bob(dispatcher, "Bob");
    alice.Server->RequestCall("127.0.0.1", std::to_string(bob.Port()), TChatStyle::Realtime);
    const bool called = RunUntil(
        [&] {
            TConversationTab* a = alice.Views.Tab(0);
            TConversationTab* b = bob.Views.Tab(0);
            return a != nullptr && b != nullptr && a->PeerName() == "Bob"
                && b->PeerName() == "Alice" && a->Style() == TChatStyle::Realtime
                && b->Style() == TChatStyle::Realtime && !a->Controls().LocalPane->isReadOnly();
        },
        5s);
    if (!called) {
        Fail("keys: the call between the two copies did not come up");
        return;
    }
    // The receiving half alone: a raw peer types the same keys into a third copy's conversation.
    // In one process the typing side's own echo runs on the main thread the receiving side also
    // needs; with the raw peer nothing stands in front of the receiving side.
    TCopy carol(dispatcher, "Carol");
    TRawPeer rawTyper;
    TConversationTab* carolTab = CallAsRawPeer(carol, rawTyper);
    if (carolTab == nullptr) {
        Fail("keys: the raw peer's conversation did not come up");
        return;
    }
    QTextDocument& rawShown = *carolTab->Controls().Transcript->document();
    TRichPane& typing = *alice.Views.Tab(0)->Controls().LocalPane;
    TRichPane& shown = *bob.Views.Tab(0)->Controls().Transcript;
    QTextDocument& document = *shown.document();
    TPaintWatch paints(shown);
    TRawPingPong raw;
    if (!raw.Open()) {
        Fail("keys: no raw loopback connection");
        return;
    }
    // The bare path of a byte in this process, after the same pause as a key: a loopback socket,
    // a thread that waits on it and hands the byte to the main thread through the event loop.
    TBareRelay bareRelay;
    TRawPeer bare;
    if (bareRelay.Port <= 0 || !bare.Connect(bareRelay.Port)) {
        Fail("keys: no bare relay");
        return;
    }
    RunFor(300ms);

    static const char text[] = "the quick brown fox jumps over the lazy dog ";
    std::vector<double> bareMs;
    std::vector<double> typedMs;
    std::vector<double> arrivedMs;
    std::vector<double> paintedMs;
    std::vector<double> rawPeerMs;
    std::vector<double> rawOneWayMs;
    std::vector<double> rawHalfTripMs;
    int lost = 0;
    int unpainted = 0;
    for (int i = 0; i < options.Keys; ++i) {
        const int bareBefore = bareRelay.Arrived;
        const auto bareStart = TClock::now();
        if (bare.Send("x") && RunUntil([&] { return bareRelay.Arrived > bareBefore; }, 2s))
            bareMs.push_back(Ms(TClock::now() - bareStart));
        RunFor(std::chrono::milliseconds(options.KeyGapMs));

        const char32_t key = i % 60 == 59 ? 13 : static_cast<char32_t>(text[i % (sizeof text - 1)]);
        const int before = document.characterCount();
        paints.Arm([&document, before] { return document.characterCount() > before; });
        const auto start = TClock::now();
        typing.TypeChar(key);
        typedMs.push_back(Ms(TClock::now() - start));
        if (!RunUntil([&] { return document.characterCount() > before; }, 2s)) {
            ++lost;
            continue;
        }
        arrivedMs.push_back(Ms(TClock::now() - start));
        if (RunUntil([&] { return paints.Hit.has_value(); }, 200ms))
            paintedMs.push_back(Ms(*paints.Hit - start));
        else
            ++unpainted;
        const int rawBefore = rawShown.characterCount();
        const char byte = static_cast<char>(key);
        const auto rawStart = TClock::now();
        if (rawTyper.Send(std::string_view(&byte, 1))
            && RunUntil([&] { return rawShown.characterCount() > rawBefore; }, 2s))
            rawPeerMs.push_back(Ms(TClock::now() - rawStart));
        if (const auto ping = raw.PingOnce()) {
            rawOneWayMs.push_back(ping->first / 1000.0);
            rawHalfTripMs.push_back(ping->second / 2000.0);
        }
        RunFor(std::chrono::milliseconds(options.KeyGapMs));
    }

    const TSummary arrived = Summarise(arrivedMs);
    const TSummary painted = Summarise(paintedMs);
    const TSummary oneWay = Summarise(rawOneWayMs);
    const TSummary halfTrip = Summarise(rawHalfTripMs);
    PrintSummary("A: TypeChar (own pane, protocol, send)", Summarise(typedMs), "ms");
    PrintSummary("key -> char in B's transcript", arrived, "ms");
    PrintSummary("key -> first repaint of B's transcript with it", painted, "ms");
    const TSummary receiving = Summarise(rawPeerMs);
    const TSummary bareArrived = Summarise(bareMs);
    PrintSummary("bare: byte -> receiving thread -> main thread, same pause", bareArrived, "ms");
    PrintSummary("raw peer key -> char in C's transcript", receiving, "ms");
    PrintSummary("raw loopback one byte, one way (echo side clock)", oneWay, "ms");
    PrintSummary("raw loopback one byte, round trip / 2", halfTrip, "ms");
    std::printf(
        "  keys lost: %d, keys whose repaint was not seen within 200 ms: %d\n", lost, unpainted);
    if (lost > 0)
        Fail("keys: " + std::to_string(lost) + " keys never reached the peer's transcript");
    if (arrived.Count == 0)
        return;
    AddRow("key A->B in transcript, median", Fixed(arrived.Median, 3) + " ms", "<= 1 ms",
        arrived.Median <= 1.0);
    AddRow("key A->B in transcript, p99", Fixed(arrived.P99, 3) + " ms", "<= 5 ms",
        arrived.P99 <= 5.0);
    if (painted.Count > 0) {
        AddRow("key A->B repainted, median", Fixed(painted.Median, 3) + " ms");
        AddRow("key A->B repainted, p99", Fixed(painted.P99, 3) + " ms");
    }
    if (bareArrived.Count > 0) {
        AddRow("bare byte -> main thread, one process, median / p99",
            Fixed(bareArrived.Median, 3) + " / " + Fixed(bareArrived.P99, 3) + " ms");
    }
    if (receiving.Count > 0) {
        AddRow("raw peer key -> transcript, median / p99",
            Fixed(receiving.Median, 3) + " / " + Fixed(receiving.P99, 3) + " ms");
    }
    AddRow("raw loopback one way, median / p99",
        Fixed(oneWay.Median, 3) + " / " + Fixed(oneWay.P99, 3) + " ms");
    AddRow("raw loopback RTT/2, median / p99",
        Fixed(halfTrip.Median, 3) + " / " + Fixed(halfTrip.P99, 3) + " ms");
}

// --- 1b. the same between two processes, as two users' copies run ---

// The receiving copy, in a process of its own (--peer-copy): it says its port and the bare
// relay's, then after every pass of its event loop in which its first tab's transcript grew (or
// the relay handed on a byte), how much there is and when (steady clock, the same clock in every
// process of the machine). It ends when its standard input does.
int RunPeerCopy()
{
    TCountingDispatcher dispatcher;
    TCopy bob(dispatcher, "Bob");
    TBareRelay bare;
    std::printf("port %d %d\n", bob.Port(), bare.Port);
    std::fflush(stdout);
    int shown = -1;
    int relayed = 0;
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (TConversationTab* tab = bob.Views.Tab(0)) {
            const int count = tab->Controls().Transcript->document()->characterCount();
            if (count != shown) {
                shown = count;
                std::printf("seen %d %lld\n", count,
                    static_cast<long long>(TClock::now().time_since_epoch().count()));
                std::fflush(stdout);
            }
        }
        if (bare.Arrived != relayed) {
            relayed = bare.Arrived;
            std::printf("bare %d %lld\n", relayed, bare.ArrivedAt);
            std::fflush(stdout);
        }
        pollfd input { STDIN_FILENO, POLLIN, 0 };
        if (::poll(&input, 1, 0) > 0) {
            char byte = 0;
            if (::read(STDIN_FILENO, &byte, 1) <= 0)
                return 0;
        }
    }
}

void KeyLatencyBetweenProcesses(TCountingDispatcher& dispatcher, const TOptions& options)
{
    std::printf("\n[keys between processes] %d Realtime keys typed into copy A, %d ms apart, "
                "copy B in a process of its own; %s\n",
        options.Keys, options.KeyGapMs, MachineLoad().c_str());
    QProcess peer;
    peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    peer.start(QCoreApplication::applicationFilePath(), { QStringLiteral("--peer-copy") });
    int port = 0;
    int barePort = 0;
    if (peer.waitForStarted(5000) && peer.waitForReadyRead(10000))
        std::sscanf(peer.readLine().constData(), "port %d %d", &port, &barePort);
    TRawPeer bare;
    if (port <= 0 || barePort <= 0 || !bare.Connect(barePort)) {
        Fail("keys between processes: the peer copy did not start");
        return;
    }
    // Its transcript's length and the bytes its bare relay handed on, as last reported, and when.
    int peerCount = -1;
    long long peerSeen = 0;
    int bareCount = 0;
    long long bareSeen = 0;
    const auto readPeer = [&] {
        while (peer.canReadLine()) {
            const QByteArray line = peer.readLine();
            int count = 0;
            long long when = 0;
            if (std::sscanf(line.constData(), "seen %d %lld", &count, &when) == 2) {
                peerCount = count;
                peerSeen = when;
            } else if (std::sscanf(line.constData(), "bare %d %lld", &count, &when) == 2) {
                bareCount = count;
                bareSeen = when;
            }
        }
    };
    TCopy alice(dispatcher, "Alice");
    alice.Server->RequestCall("127.0.0.1", std::to_string(port), TChatStyle::Realtime);
    const bool called = RunUntil(
        [&] {
            readPeer();
            const TConversationTab* a = alice.Views.Tab(0);
            return a != nullptr && a->PeerName() == "Bob" && a->Style() == TChatStyle::Realtime
                && peerCount >= 0;
        },
        5s);
    if (!called) {
        Fail("keys between processes: the call did not come up");
        return;
    }
    TRichPane& typing = *alice.Views.Tab(0)->Controls().LocalPane;
    RunFor(300ms);
    readPeer();

    static const char text[] = "the quick brown fox jumps over the lazy dog ";
    std::vector<double> arrivedMs;
    std::vector<double> bareMs;
    int lost = 0;
    for (int i = 0; i < options.Keys; ++i) {
        // The bare path first, after the same pause.
        const int bareBefore = bareCount;
        const auto bareStart = TClock::now();
        if (bare.Send("x")
            && RunUntil(
                [&] {
                    readPeer();
                    return bareCount > bareBefore;
                },
                2s, 1ms))
            bareMs.push_back(
                static_cast<double>(bareSeen - bareStart.time_since_epoch().count()) / 1e6);
        RunFor(std::chrono::milliseconds(options.KeyGapMs));

        const char32_t key = i % 60 == 59 ? 13 : static_cast<char32_t>(text[i % (sizeof text - 1)]);
        const int before = peerCount;
        const auto start = TClock::now();
        typing.TypeChar(key);
        if (!RunUntil(
                [&] {
                    readPeer();
                    return peerCount > before;
                },
                2s, 1ms)) {
            ++lost;
            continue;
        }
        arrivedMs.push_back(static_cast<double>(peerSeen - start.time_since_epoch().count()) / 1e6);
        RunFor(std::chrono::milliseconds(options.KeyGapMs));
        readPeer();
    }
    // The relay's thread ends with its connection, the copy with its input.
    bare.Close();
    peer.closeWriteChannel();
    if (!peer.waitForFinished(10000))
        peer.kill();

    const TSummary arrived = Summarise(arrivedMs);
    const TSummary bareArrived = Summarise(bareMs);
    PrintSummary("key -> char in B's transcript", arrived, "ms");
    PrintSummary("bare: byte -> B's receiving thread -> B's main thread", bareArrived, "ms");
    std::printf("  keys lost: %d\n", lost);
    if (lost > 0)
        Fail("keys between processes: " + std::to_string(lost) + " keys never arrived");
    if (arrived.Count == 0)
        return;
    AddRow("key A->B in transcript, two processes, median", Fixed(arrived.Median, 3) + " ms",
        "<= 0.3 ms", arrived.Median <= 0.3);
    AddRow("key A->B in transcript, two processes, p99", Fixed(arrived.P99, 3) + " ms");
    if (bareArrived.Count > 0) {
        AddRow("bare byte A->B's main thread, two processes, median / p99",
            Fixed(bareArrived.Median, 3) + " / " + Fixed(bareArrived.P99, 3) + " ms");
    }
}

// --- 2. a 1 MB Realtime stream without line breaks ---

void RealtimeStream(TCountingDispatcher& dispatcher, const TOptions& options)
{
    std::printf("\n[stream] %zu bytes of Realtime text, no line break, from a raw peer; %s\n",
        options.StreamBytes, MachineLoad().c_str());
    TCopy bob(dispatcher, "Bob");
    TRawPeer peer;
    TConversationTab* tab = CallAsRawPeer(bob, peer);
    if (tab == nullptr || tab->Style() != TChatStyle::Realtime) {
        Fail("stream: the raw peer's conversation did not come up in Realtime");
        return;
    }
    TRichPane& shown = *tab->Controls().Transcript;
    RunFor(200ms);
    const QString before = shown.Text();
    const std::string stream = WordStream(options.StreamBytes);
    const auto expected = before.size() + static_cast<qsizetype>(stream.size());
    const QString tail = QString::fromLatin1(stream.data() + stream.size() - 64, 64);
    const auto complete = [&] {
        // Continuation paragraphs only add to the document's count, so the text is read only
        // once the count says it can be complete.
        if (shown.document()->characterCount() - 1 < expected)
            return false;
        const QString text = shown.Text();
        return text.size() == expected && text.endsWith(tail);
    };
    TPaintWatch paints(shown);
    paints.Arm(complete);

    std::atomic<double> sentMs { -1 };
    const auto start = TClock::now();
    std::thread sender([&] {
        if (peer.Send(stream))
            sentMs.store(Ms(TClock::now() - start));
    });
    const bool shownAll = RunUntil(complete, 30s);
    const double shownMs = Ms(TClock::now() - start);
    const bool painted = shownAll && RunUntil([&] { return paints.Hit.has_value(); }, 2s);
    sender.join();
    if (!shownAll) {
        Fail("stream: not all of the stream reached the transcript within 30 s");
        return;
    }
    const bool exact = shown.Text()
        == before + QString::fromLatin1(stream.data(), static_cast<qsizetype>(stream.size()));
    std::printf("  all bytes sent by the peer after %.1f ms; all in the transcript after %.1f ms; "
                "repainted with the last of it after %s ms; transcript exact: %s\n",
        sentMs.load(), shownMs, painted ? Fixed(Ms(*paints.Hit - start), 1).c_str() : "(not seen)",
        exact ? "yes" : "NO");
    if (!exact)
        Fail("stream: the transcript differs from the bytes sent");
    AddRow("1 MB Realtime stream in transcript", Fixed(shownMs, 1) + " ms", "<= 1000 ms",
        shownMs <= 1000);
    if (painted)
        AddRow("1 MB Realtime stream repainted", Fixed(Ms(*paints.Hit - start), 1) + " ms");
}

// --- 3. 10,000 IM lines ---

void ImLines(TCountingDispatcher& dispatcher, const TOptions& options)
{
    std::printf(
        "\n[lines] %d IM lines from a raw peer; %s\n", options.Lines, MachineLoad().c_str());
    TCopy bob(dispatcher, "Bob");
    TRawPeer peer;
    const std::string imSignal(1, static_cast<char>(251));
    TConversationTab* tab = CallAsRawPeer(bob, peer, imSignal);
    if (tab == nullptr || !RunUntil([&] { return tab->Style() == TChatStyle::IM; }, 5s)) {
        Fail("lines: the raw peer's conversation did not switch to IM");
        return;
    }
    TRichPane& shown = *tab->Controls().Transcript;
    RunFor(200ms);
    std::string payload;
    for (int i = 1; i <= options.Lines; ++i)
        payload += "line " + std::to_string(i) + "\r\n";
    const int blocksBefore = shown.document()->blockCount();
    const QString last = QStringLiteral("Raw: line %1").arg(options.Lines);
    const auto complete = [&] {
        const QTextDocument& d = *shown.document();
        return d.blockCount() >= blocksBefore + options.Lines
            && d.lastBlock().previous().text() == last;
    };
    TPaintWatch paints(shown);
    paints.Arm(complete);

    const auto start = TClock::now();
    std::thread sender([&] { peer.Send(payload); });
    const bool shownAll = RunUntil(complete, 30s);
    const double shownMs = Ms(TClock::now() - start);
    const bool painted = shownAll && RunUntil([&] { return paints.Hit.has_value(); }, 2s);
    sender.join();
    if (!shownAll) {
        Fail("lines: not every line reached the transcript within 30 s");
        return;
    }
    // Every line, in order, labelled.
    const QStringList lines = shown.Text().split(u'\n');
    int found = 0;
    for (const QString& line : lines) {
        if (line == QStringLiteral("Raw: line %1").arg(found + 1))
            ++found;
    }
    std::printf("  all lines in the transcript after %.1f ms; repainted after %s ms; lines found "
                "in order: %d\n",
        shownMs, painted ? Fixed(Ms(*paints.Hit - start), 1).c_str() : "(not seen)", found);
    if (found != options.Lines)
        Fail("lines: the transcript does not hold every line in order");
    AddRow(
        "10,000 IM lines in transcript", Fixed(shownMs, 1) + " ms", "<= 1000 ms", shownMs <= 1000);
    if (painted)
        AddRow("10,000 IM lines repainted", Fixed(Ms(*paints.Hit - start), 1) + " ms");
}

// --- 4. CPU of idle conversations ---

void IdleCpu(TCountingDispatcher& dispatcher, const TOptions& options)
{
    std::printf("\n[idle] %d idle conversations (raw callers, greeted) for %d s; %s\n",
        options.IdleConversations, options.IdleSeconds, MachineLoad().c_str());
    TCopy bob(dispatcher, "Bob");
    RunFor(500ms);
    struct TIdleFigures {
        double Percent = 0;
        double SwitchesPerSecond = 0;
        double MainThreadCallsPerSecond = 0;
    };
    const auto measure = [&dispatcher](int seconds) {
        const double cpu = CpuSeconds();
        const long switches = ContextSwitches();
        const long calls = dispatcher.Calls();
        const auto start = TClock::now();
        RunFor(std::chrono::seconds(seconds));
        const double wall = std::chrono::duration<double>(TClock::now() - start).count();
        return TIdleFigures { 100.0 * (CpuSeconds() - cpu) / wall,
            static_cast<double>(ContextSwitches() - switches) / wall,
            static_cast<double>(dispatcher.Calls() - calls) / wall };
    };
    const int baseSeconds = std::min(5, options.IdleSeconds);
    const TIdleFigures base = measure(baseSeconds);
    const int controlSeconds = std::min(10, options.IdleSeconds);
    TIdleFigures pollOnly;
    TIdleFigures pollAndCall;
    {
        const TIdleThreads threads(dispatcher, options.IdleConversations, false);
        pollOnly = measure(controlSeconds);
    }
    {
        const TIdleThreads threads(dispatcher, options.IdleConversations, true);
        pollAndCall = measure(controlSeconds);
    }
    TCallers callers = OpenCallers(bob, options.IdleConversations, "Bob");
    if (callers.Failed > 0) {
        Fail("idle: " + std::to_string(callers.Failed) + " callers were not greeted");
        return;
    }
    RunFor(1s);
    const TIdleFigures idle = measure(options.IdleSeconds);
    const auto print = [](const char* what, int seconds, const TIdleFigures& f) {
        std::printf("  %-22s (%2d s): %6.3f %% of one core, %7.1f context switches/s, "
                    "%7.1f worker calls on the main thread/s\n",
            what, seconds, f.Percent, f.SwitchesPerSecond, f.MainThreadCallsPerSecond);
    };
    print("no conversations", baseSeconds, base);
    print("threads, poll only", controlSeconds, pollOnly);
    print("threads, poll + call", controlSeconds, pollAndCall);
    print((std::to_string(options.IdleConversations) + " conversations").c_str(),
        options.IdleSeconds, idle);
    AddRow(std::to_string(options.IdleConversations) + " idle conversations, CPU over "
            + std::to_string(options.IdleSeconds) + " s",
        Fixed(idle.Percent, 3) + " % of a core", "<= 1 %", idle.Percent <= 1.0);
    AddRow("  same process, no conversations", Fixed(base.Percent, 3) + " % of a core");
    AddRow("  control: " + std::to_string(options.IdleConversations) + " threads polling 300 ms",
        Fixed(pollOnly.Percent, 3) + " % of a core");
    AddRow("  control: same, one main-thread call per pass",
        Fixed(pollAndCall.Percent, 3) + " % of a core");
    AddRow("  main-thread calls per idle conversation",
        Fixed((idle.MainThreadCallsPerSecond - base.MainThreadCallsPerSecond)
                / options.IdleConversations,
            2)
            + " /s");
}

// --- 5. memory per open conversation ---

void MemoryPerConversation(TCountingDispatcher& dispatcher, const TOptions& options)
{
    std::printf("\n[memory] %d conversations opened by raw callers, each with its tab; %s\n",
        options.MemoryConversations, MachineLoad().c_str());
    TCopy bob(dispatcher, "Bob");
    // One conversation first, so that what every first tab costs once (fonts, style, caches) is
    // not charged to the others.
    TCallers warm = OpenCallers(bob, 1, "Bob");
    RunFor(1s);
    // Memory the allocator holds free (from earlier figures) would be reused without showing in
    // the resident size; give it back first so that what the conversations take shows.
    ::malloc_trim(0);
    const long rssBefore = static_cast<long>(ResidentBytes());
    const long heapBefore = static_cast<long>(HeapInUse());
    double shownMs = -1;
    TCallers callers = OpenCallers(bob, options.MemoryConversations, "Bob", &shownMs);
    if (warm.Failed > 0 || callers.Failed > 0 || shownMs < 0) {
        Fail("memory: not every caller was greeted and shown");
        return;
    }
    RunFor(1s);
    const long rssAfter = static_cast<long>(ResidentBytes());
    const long heapAfter = static_cast<long>(HeapInUse());
    const double n = options.MemoryConversations;
    const double rssKiB = static_cast<double>(rssAfter - rssBefore) / n / 1024.0;
    const double heapKiB = static_cast<double>(heapAfter - heapBefore) / n / 1024.0;
    std::printf("  resident %.1f -> %.1f MiB, heap in use %.1f -> %.1f MiB\n",
        static_cast<double>(rssBefore) / 1048576.0, static_cast<double>(rssAfter) / 1048576.0,
        static_cast<double>(heapBefore) / 1048576.0, static_cast<double>(heapAfter) / 1048576.0);
    AddRow("memory per open conversation (resident)", Fixed(rssKiB, 1) + " KiB");
    AddRow("memory per open conversation (heap)", Fixed(heapKiB, 1) + " KiB");
}

// --- 6. RequestCall to the connecting line ---

void CallToConnectingLine(TCountingDispatcher& dispatcher, const TOptions& options, bool refused)
{
    std::printf("\n[call] %d calls to a port that %s; %s\n", options.Calls,
        refused ? "refuses (bound, not listening)" : "listens (a second copy)",
        MachineLoad().c_str());
    TCopy alice(dispatcher, "Alice");
    std::unique_ptr<TCopy> bob;
    TRawPeer closedPort(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    int port = 0;
    if (refused) {
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(closedPort.Handle(), reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(closedPort.Handle(), reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    } else {
        bob = std::make_unique<TCopy>(dispatcher, "Bob");
        port = bob->Port();
    }
    const QString expected = QStringLiteral("Connecting to 127.0.0.1 on port %1").arg(port);

    // The line is noted the moment the transcript's document reports the change that holds it,
    // or at the latest when the event loop pass that made it returns.
    std::optional<TClock::time_point> inTranscript;
    std::unique_ptr<TPaintWatch> paints;
    std::vector<QMetaObject::Connection> connections;
    alice.Views.OnCreated = [&](TConversationTab& tab) {
        TRichPane* pane = tab.Controls().Transcript;
        connections.push_back(
            QObject::connect(pane->document(), &QTextDocument::contentsChanged, pane, [&, pane] {
                if (!inTranscript && pane->Text().contains(expected))
                    inTranscript = TClock::now();
            }));
        paints = std::make_unique<TPaintWatch>(*pane);
        paints->Arm([pane, &expected] { return pane->Text().contains(expected); });
    };

    std::vector<double> lineMs;
    std::vector<double> paintMs;
    for (int i = 0; i < options.Calls; ++i) {
        const std::size_t index = alice.Views.Made();
        const std::size_t bobIndex = bob ? bob->Views.Made() : 0;
        inTranscript.reset();
        const auto start = TClock::now();
        alice.Server->RequestCall("127.0.0.1", std::to_string(port), TChatStyle::Realtime);
        const bool seen = RunUntil(
            [&] {
                TConversationTab* tab = alice.Views.Tab(index);
                if (!inTranscript && tab != nullptr
                    && tab->Controls().Transcript->Text().contains(expected))
                    inTranscript = TClock::now();
                return inTranscript.has_value();
            },
            5s);
        if (!seen) {
            Fail("call: the connecting line did not appear within 5 s");
            break;
        }
        lineMs.push_back(Ms(*inTranscript - start));
        if (refused && RunUntil([&] { return paints && paints->Hit.has_value(); }, 1s))
            paintMs.push_back(Ms(*paints->Hit - start));

        // Let the call settle (refused: "Disconnected"; listening: both greeted), then end it so
        // that every call starts from an empty chat window.
        const bool settled = RunUntil(
            [&] {
                TConversationTab* tab = alice.Views.Tab(index);
                if (tab == nullptr)
                    return false;
                if (refused)
                    return tab->Controls().DisconnectButton->text() == QStringLiteral("Close");
                const TConversationTab* other = bob->Views.Tab(bobIndex);
                return tab->PeerName() == "Bob" && other != nullptr && other->PeerName() == "Alice";
            },
            5s);
        if (!settled)
            Fail("call: the call did not settle");
        alice.Server->CloseAll();
        if (bob)
            bob->Server->CloseAll();
        if (!RunUntil([&] { return alice.Idle() && (!bob || bob->Idle()); }, 5s)) {
            Fail("call: the conversations did not end within 5 s");
            break;
        }
        paints.reset();
    }
    alice.Views.OnCreated = nullptr;
    for (const QMetaObject::Connection& connection : connections)
        QObject::disconnect(connection);
    paints.reset();
    const TSummary line = Summarise(lineMs);
    PrintSummary("RequestCall -> connecting line in transcript", line, "ms");
    if (refused)
        PrintSummary("RequestCall -> first repaint showing it", Summarise(paintMs), "ms");
    if (line.Count == 0)
        return;
    const std::string which = refused ? " (refusing port)" : " (listening port)";
    AddRow("RequestCall -> connecting line, median" + which, Fixed(line.Median, 2) + " ms",
        "<= 50 ms", line.Median <= 50);
    if (refused && !paintMs.empty())
        AddRow("RequestCall -> line repainted, median" + which,
            Fixed(Summarise(paintMs).Median, 2) + " ms");
}

// --- 7. many callers at once ---

void CallersAtOnce(TCountingDispatcher& dispatcher, const TOptions& options)
{
    std::printf("\n[callers] %d raw callers connecting at once; %s\n", options.Callers,
        MachineLoad().c_str());
    TCopy bob(dispatcher, "Bob");
    RunFor(200ms);
    double shownMs = -1;
    TCallers callers = OpenCallers(bob, options.Callers, "Bob", &shownMs);
    const TSummary greeted = Summarise([&] {
        std::vector<double> v;
        for (const double ms : callers.GreetedMs) {
            if (ms >= 0)
                v.push_back(ms);
        }
        return v;
    }());
    std::printf(
        "  connected and greeted by all callers after %.1f ms; all greeted back after %.1f ms "
        "(median caller %.1f ms); all tabs named after %.1f ms; not greeted: %d\n",
        callers.AllSentMs, greeted.Max, greeted.Median, shownMs, callers.Failed);
    if (callers.Failed > 0) {
        Fail("callers: " + std::to_string(callers.Failed) + " callers were not greeted");
        return;
    }
    AddRow(std::to_string(options.Callers) + " callers at once, all greeted",
        Fixed(greeted.Max, 1) + " ms", "<= 2000 ms", greeted.Max <= 2000);
    if (shownMs >= 0)
        AddRow(std::to_string(options.Callers) + " callers at once, all tabs named",
            Fixed(shownMs, 1) + " ms");
    callers.Sockets.clear();
}

// The offscreen platform says on every raise and resize hint that it cannot; not news here.
QtMessageHandler PreviousHandler = nullptr;

void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QStringLiteral("This plugin does not support")))
        return;
    if (PreviousHandler != nullptr)
        PreviousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

int IntOption(const char* arg, const char* name, int current)
{
    const std::size_t length = std::strlen(name);
    if (std::strncmp(arg, name, length) == 0 && arg[length] == '=')
        return std::max(1, std::atoi(arg + length + 1));
    return current;
}

} // namespace

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const long files = RaiseOpenFileLimit();
    QApplication app(argc, argv);
    PreviousHandler = qInstallMessageHandler(QuietHandler);

    if (argc == 2 && std::strcmp(argv[1], "--peer-copy") == 0)
        return RunPeerCopy();

    TOptions options;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--quick") == 0) {
            options.IdleSeconds = 10;
            options.Keys = 500;
        } else if (std::strncmp(arg, "--only=", 7) == 0) {
            options.Only = arg + 7;
        } else if (std::strncmp(arg, "--stream-bytes=", 15) == 0) {
            options.StreamBytes = static_cast<std::size_t>(std::max(64L, std::atol(arg + 15)));
        } else if (std::strncmp(arg, "--", 2) == 0 && std::strchr(arg, '=') != nullptr) {
            options.Keys = IntOption(arg, "--keys", options.Keys);
            options.KeyGapMs = IntOption(arg, "--key-gap-ms", options.KeyGapMs);
            options.IdleSeconds = IntOption(arg, "--idle-seconds", options.IdleSeconds);
            options.IdleConversations
                = IntOption(arg, "--idle-conversations", options.IdleConversations);
            options.MemoryConversations
                = IntOption(arg, "--memory-conversations", options.MemoryConversations);
            options.Calls = IntOption(arg, "--calls", options.Calls);
            options.Callers = IntOption(arg, "--callers", options.Callers);
            options.Lines = IntOption(arg, "--lines", options.Lines);
        } else {
            std::printf("usage: %s [--quick] [--only=keys,stream,lines,idle,memory,call,callers] "
                        "[--keys=N] [--key-gap-ms=N] [--idle-seconds=N] [--idle-conversations=N] "
                        "[--memory-conversations=N] [--calls=N] [--callers=N] [--stream-bytes=N] "
                        "[--lines=N]\n",
                argv[0]);
            return 2;
        }
    }

    std::printf("Conversation benchmark: platform %s, open-file limit %ld, %s\n",
        qPrintable(QGuiApplication::platformName()), files, MachineLoad().c_str());
    TCountingDispatcher dispatcher;
    const auto begun = TClock::now();
    // Memory first: the figures after it leave freed memory in the allocator.
    if (options.Wants("memory"))
        MemoryPerConversation(dispatcher, options);
    if (options.Wants("keys")) {
        KeyLatency(dispatcher, options);
        KeyLatencyBetweenProcesses(dispatcher, options);
    }
    if (options.Wants("stream"))
        RealtimeStream(dispatcher, options);
    if (options.Wants("lines"))
        ImLines(dispatcher, options);
    if (options.Wants("call")) {
        CallToConnectingLine(dispatcher, options, true);
        CallToConnectingLine(dispatcher, options, false);
    }
    if (options.Wants("callers"))
        CallersAtOnce(dispatcher, options);
    if (options.Wants("idle"))
        IdleCpu(dispatcher, options);

    std::printf("\n%-58s %-22s %-11s %s\n", "figure", "measured", "goal", "");
    for (const TRow& row : Rows)
        std::printf("%-58s %-22s %-11s %s\n", row.Figure.c_str(), row.Value.c_str(),
            row.Goal.c_str(), row.Verdict.c_str());
    std::printf("\nran %.0f s; threads still running: %d; %s\n",
        std::chrono::duration<double>(TClock::now() - begun).count(), TThread::LiveCount(),
        MachineLoad().c_str());
    if (Failures > 0)
        std::printf("%d measurement(s) could not be completed\n", Failures);
    return Failures > 0 ? 1 : 0;
}
