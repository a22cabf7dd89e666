// The real program under load: it is started in a sandbox as a user would run it and raw callers
// call it on its port. Every figure is measured from outside, with the program's own processor
// time read from /proc (its main thread's alone where the window is what is being loaded).
//
//   crowd    one more caller greeted with few and with nearly all conversations open; a crowd of
//            callers at once until all are greeted, and the program's processor time until it
//            is idle again; SIGTERM with all of them open to the end
//   hangup   the crowd, greeted, hangs up at once: the main thread's time until the program is
//            idle again; then SIGTERM to the end. The callers are in the phonebook, so that
//            their ends ask nothing (--unknown-callers: they are not)
//   term     the crowd hangs up and SIGTERM follows 1 s later: the time to the end
//   signals  one caller sends a burst of style signals (FA FB FC ...): the main thread's time
//            until idle, the echoes that came back, and how long a second caller waits for its
//            greeting meanwhile; with --after-text a line comes first, so that every switch
//            also writes its notice into the transcript
//   echo     one caller sends a style signal and waits for its echo, over and over (every
//            signal changes the style, so the window is relaid out each time); a bare loopback
//            echo between two threads of this process for comparison
//   memory   one caller sends text without line ends (--text-style=1 Realtime, 2 IM, 3 IM with
//            preview); the program's resident size at every eighth of --bytes, and after hang-up
//   stream   one caller sends --stream-bytes of Realtime text without line ends and then a style
//            signal: the time until its echo is back, and the program's processor time
//   idle     the program's wake-ups (context switches of all its threads) over --idle-seconds,
//            its threads and memory with no conversation, 50 idle ones, all the callers idle,
//            and once they have all hung up
//   crowd-memory  the resident size before, at the peak and 10 s after a crowd of the callers,
//            once for callers that never finish their names and once for callers that greet
//
// Port 2323 must be free: run it in a private network namespace, e.g.
//   unshare -n sh -c 'ip link set lo up && bench/bench_exit 1000 3'
//
// Usage: bench_exit [callers] [runs] [program] [--figures=crowd,hangup,...] [--bytes=N]
//                   [--stream-bytes=N] [--signals=N] [--echoes=N] [--text-style=N]
//                   [--unknown-callers] [--after-text] [--idle-seconds=N]
// (defaults 1000 callers, 3 runs, the program $QUILLET_BENCH_PROGRAM names or else the one of
// this build, the crowd figure, 1 GiB of text, 1 MiB streamed, 96,000 signal bytes, 2,000
// echoes, Realtime text, 30 s of idleness)
#include "ExitBenchIdle.h"
#include "ExitBenchSupport.h"

#include "platform/ProcessLimits.h"

#include <QCoreApplication>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace quillet::bench;
using quillet::testing::TRawPeer;

constexpr int SingleCallers = 20;
// The idle figure's middle step.
constexpr int IdleFew = 50;

struct TOptions {
    int Callers = 1000;
    int Runs = 3;
    QString Binary = qEnvironmentVariable("QUILLET_BENCH_PROGRAM", QStringLiteral(QUILLET_BINARY));
    std::string Figures = "crowd";
    std::size_t Bytes = std::size_t(1) << 30;
    std::size_t StreamBytes = std::size_t(1) << 20;
    int Signals = 96000;
    int Echoes = 2000;
    int TextStyle = 1;
    bool UnknownCallers = false;
    bool SignalsAfterText = false;
    int IdleSeconds = 30;

    bool Wants(const char* name) const
    {
        // Built piece by piece: GCC 12 warns wrongly about "," + a string.
        std::string list(1, ',');
        list.append(Figures).push_back(',');
        std::string item(1, ',');
        item.append(name).push_back(',');
        return list.find(item) != std::string::npos;
    }
};

int Failures = 0;

void Fail(const char* figure, const std::string& what)
{
    std::printf("  %s: FAILED: %s\n", figure, what.c_str());
    ++Failures;
}

// Calls `count` times, one caller after the other, each kept open once greeted; the median time
// from connecting to the greeting, or -1 when a caller was not greeted.
double CallOneByOne(std::vector<std::unique_ptr<TRawPeer>>& peers, int count)
{
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        auto peer = std::make_unique<TRawPeer>();
        const auto start = TClock::now();
        if (!peer->Connect(quillet::ProgramPort)
            || !peer->Send("single" + std::to_string(i) + "\r\n"))
            return -1;
        if (peer->Receive(Greeting.size(), 10s) != Greeting)
            return -1;
        times.push_back(Ms(TClock::now() - start));
        peers.push_back(std::move(peer));
    }
    return Median(times);
}

void Crowd(const TOptions& options, int run)
{
    TRunningProgram program;
    std::vector<std::unique_ptr<TRawPeer>> singles(1);
    singles[0] = program.Start(options.Binary);
    if (!singles[0])
        return Fail("crowd", "the program did not answer");
    const double firstFew = CallOneByOne(singles, SingleCallers);
    const TCpu before = program.Cpu();
    const TCrowd crowd = GreetCrowd(options.Callers - 2 * SingleCallers - 1);
    const TCpu greeted = program.Cpu();
    program.WaitIdle();
    const TCpu idle = program.Cpu();
    const double lastFew = CallOneByOne(singles, SingleCallers);
    const double exitMs = program.Terminate();
    std::printf("crowd run %d: one more caller greeted after %.2f ms with 1-%d open, %.2f ms with "
                "%d-%d open (medians of %d); a crowd of %d greeted after %.1f ms (%d greeted), "
                "program cpu %.3f s until greeted, %.3f s until idle (main thread %.3f s); "
                "SIGTERM with %d open to end %.1f ms, %s\n",
        run, firstFew, SingleCallers, lastFew, options.Callers - SingleCallers, options.Callers - 1,
        SingleCallers, crowd.Size, crowd.GreetedMs, crowd.Greeted, greeted.Total - before.Total,
        idle.Total - before.Total, idle.Main - before.Main, options.Callers, exitMs,
        program.ExitText().c_str());
    if (firstFew < 0 || lastFew < 0 || crowd.Greeted < crowd.Size || !program.EndedWell())
        Fail("crowd", "not every caller was greeted, or the program did not end well");
}

// The crowd greeted and hanging up together; SIGTERM `termAfter` later (or once idle).
void HangUp(const TOptions& options, int run, std::optional<std::chrono::milliseconds> termAfter)
{
    const char* figure = termAfter ? "term" : "hangup";
    TRunningProgram program;
    // Callers the phonebook knows: the ends ask nothing, so what is measured is the window's work.
    std::unique_ptr<TRawPeer> first
        = program.Start(options.Binary, options.UnknownCallers ? 0 : options.Callers);
    if (!first)
        return Fail(figure, "the program did not answer");
    TCrowd crowd = GreetCrowd(options.Callers - 1);
    if (crowd.Greeted < crowd.Size)
        return Fail(figure, "not every caller was greeted");
    program.WaitIdle();
    const TCpu before = program.Cpu();
    const auto start = TClock::now();
    crowd.Peers.clear();
    first.reset();
    if (termAfter) {
        std::this_thread::sleep_for(*termAfter);
        const TCpu atTerm = program.Cpu();
        const double exitMs = program.Terminate();
        std::printf("term run %d: %d callers hung up; main thread %.3f s in the %lld ms before "
                    "SIGTERM; SIGTERM to end %.1f ms, %s\n",
            run, options.Callers, atTerm.Main - before.Main,
            static_cast<long long>(termAfter->count()), exitMs, program.ExitText().c_str());
    } else {
        const double idleMs = program.WaitIdle(60s) ? Ms(TClock::now() - start) : -1;
        const TCpu idle = program.Cpu();
        const double exitMs = program.Terminate();
        std::printf("hangup run %d: %d callers hung up at once; idle again after %.0f ms; main "
                    "thread %.3f s, program %.3f s; SIGTERM to end %.1f ms, %s\n",
            run, options.Callers, idleMs, idle.Main - before.Main, idle.Total - before.Total,
            exitMs, program.ExitText().c_str());
    }
    if (!program.EndedWell())
        Fail(figure, "the program did not end well");
}

// Style signals cycling through the three styles: each one changes the style.
std::string SignalBurst(int count)
{
    std::string burst(static_cast<std::size_t>(count), '\0');
    for (int i = 0; i < count; ++i)
        burst[static_cast<std::size_t>(i)] = static_cast<char>(0xFB + i % 3 - (i % 3 == 2 ? 3 : 0));
    return burst;
}

void Signals(const TOptions& options, int run)
{
    TRunningProgram program;
    std::unique_ptr<TRawPeer> peer = program.Start(options.Binary);
    if (!peer)
        return Fail("signals", "the program did not answer");
    // With a line in the transcript first, every switch also writes its notice there.
    if (options.SignalsAfterText)
        peer->Send("hello\r");
    program.WaitIdle();
    const TCpu before = program.Cpu();
    const std::string burst = SignalBurst(options.Signals);
    std::string echoes;
    std::thread reader([&] {
        const auto deadline = TClock::now() + 120s;
        while (TClock::now() < deadline && peer->ReceiveSome(echoes, 200) >= 0) {
            if (echoes.size() >= burst.size())
                break;
        }
    });
    const auto start = TClock::now();
    const bool sent = peer->Send(burst);
    // While the burst is worked through, another caller rings.
    TRawPeer second;
    double secondMs = -1;
    if (second.Connect(quillet::ProgramPort) && second.Send("second\r\n")
        && second.Receive(Greeting.size(), 60s) == Greeting)
        secondMs = Ms(TClock::now() - start);
    program.WaitIdle(120s);
    const double idleMs = Ms(TClock::now() - start);
    const TCpu idle = program.Cpu();
    peer->Close();
    reader.join();
    const double exitMs = program.Terminate();
    std::printf("signals run %d: %d style-signal bytes %s; idle again after %.0f ms; main thread "
                "%.3f s, program %.3f s; %zu echo bytes back; a second caller greeted after "
                "%.1f ms; SIGTERM to end %.1f ms, %s\n",
        run, options.Signals, sent ? "sent" : "NOT all sent", idleMs, idle.Main - before.Main,
        idle.Total - before.Total, echoes.size(), secondMs, exitMs, program.ExitText().c_str());
    if (!sent || secondMs < 0 || !program.EndedWell())
        Fail("signals", "the burst or the second caller did not get through");
}

void Echo(const TOptions& options, int run)
{
    TRunningProgram program;
    std::unique_ptr<TRawPeer> peer = program.Start(options.Binary);
    if (!peer)
        return Fail("echo", "the program did not answer");
    program.WaitIdle();
    const std::string pings = SignalBurst(options.Echoes);
    std::vector<double> trips;
    for (const char signal : pings) {
        const auto start = TClock::now();
        if (!peer->Send(std::string_view(&signal, 1))
            || peer->Receive(1, 5s) != std::string(1, signal))
            break;
        trips.push_back(Us(TClock::now() - start));
        // Let the window catch up, as between two clicks; the next signal finds the program idle.
        std::this_thread::sleep_for(2ms);
    }
    TRawPingPong bare;
    std::vector<double> bareTrips;
    for (int i = 0; i == 0 ? bare.Open() : i < options.Echoes; ++i) {
        if (const auto ping = bare.PingOnce())
            bareTrips.push_back(ping->second);
        std::this_thread::sleep_for(2ms);
    }
    const double exitMs = program.Terminate();
    const TSummary echoed = Summarise(trips);
    const TSummary loopback = Summarise(bareTrips);
    std::printf("echo run %d: %zu style signals echoed by the program: median %.1f us, p99 %.1f "
                "us; bare loopback echo: median %.1f us, p99 %.1f us; ratio of medians %.1f; "
                "SIGTERM to end %.1f ms, %s\n",
        run, echoed.Count, echoed.Median, echoed.P99, loopback.Median, loopback.P99,
        loopback.Median > 0 ? echoed.Median / loopback.Median : 0.0, exitMs,
        program.ExitText().c_str());
    if (echoed.Count != pings.size())
        Fail("echo", "an echo did not come back");
}

std::string TextChunk(std::size_t size)
{
    static const char words[] = "the quick brown fox jumps over the lazy dog ";
    std::string chunk(size, ' ');
    for (std::size_t i = 0; i < size; ++i)
        chunk[i] = words[i % (sizeof words - 1)];
    return chunk;
}

void Memory(const TOptions& options, int run)
{
    TRunningProgram program;
    std::unique_ptr<TRawPeer> peer = program.Start(options.Binary);
    if (!peer)
        return Fail("memory", "the program did not answer");
    // Swallow the echo of the style signal and anything else the program sends.
    std::atomic<bool> stop { false };
    std::thread drain([&] {
        std::string sink;
        while (!stop.load() && peer->ReceiveSome(sink, 100) >= 0)
            sink.clear();
    });
    if (options.TextStyle != 1)
        peer->Send(std::string(1, static_cast<char>(0xF9 + options.TextStyle)));
    program.WaitIdle();
    const double startMiB = program.ResidentMiB();
    const std::string chunk = TextChunk(64 << 10);
    std::printf(
        "memory run %d: text style %d, resident %.1f MiB before", run, options.TextStyle, startMiB);
    std::size_t sent = 0;
    const auto start = TClock::now();
    for (int eighth = 1; eighth <= 8; ++eighth) {
        const std::size_t target = options.Bytes / 8 * static_cast<std::size_t>(eighth);
        for (; sent < target; sent += chunk.size()) {
            if (!peer->Send(chunk))
                break;
        }
        program.WaitIdle();
        std::printf("; %zu MiB: %.1f MiB", sent >> 20, program.ResidentMiB());
        std::fflush(stdout);
    }
    const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
    stop.store(true);
    drain.join();
    peer->Close();
    program.WaitIdle();
    std::printf("; after hang-up %.1f MiB; %.1f MB/s; program cpu %.1f s\n", program.ResidentMiB(),
        static_cast<double>(sent) / 1e6 / seconds, program.Cpu().Total);
    program.Terminate();
}

void Stream(const TOptions& options, int run)
{
    TRunningProgram program;
    std::unique_ptr<TRawPeer> peer = program.Start(options.Binary);
    if (!peer)
        return Fail("stream", "the program did not answer");
    program.WaitIdle();
    const TCpu before = program.Cpu();
    const std::string text = TextChunk(options.StreamBytes) + "\xFB";
    const auto start = TClock::now();
    const bool echoed = peer->Send(text) && peer->Receive(1, 30s) == "\xFB";
    const double echoMs = Ms(TClock::now() - start);
    program.WaitIdle();
    const TCpu idle = program.Cpu();
    const double exitMs = program.Terminate();
    std::printf("stream run %d: %zu bytes of Realtime text, the signal after it echoed after %.1f "
                "ms; program cpu %.3f s (main thread %.3f s) until idle; SIGTERM to end %.1f ms\n",
        run, options.StreamBytes, echoed ? echoMs : -1.0, idle.Total - before.Total,
        idle.Main - before.Main, exitMs);
    if (!echoed)
        Fail("stream", "the signal after the text was not echoed");
}

std::size_t SizeOption(const char* value)
{
    return static_cast<std::size_t>(std::max(1.0, std::atof(value)));
}

bool ParseOption(TOptions& options, const char* arg)
{
    const auto value = [arg](const char* name) -> const char* {
        const std::size_t length = std::strlen(name);
        return std::strncmp(arg, name, length) == 0 && arg[length] == '=' ? arg + length + 1
                                                                          : nullptr;
    };
    const char* v = nullptr;
    if ((v = value("--figures")) != nullptr)
        options.Figures = v;
    else if ((v = value("--bytes")) != nullptr)
        options.Bytes = SizeOption(v);
    else if ((v = value("--stream-bytes")) != nullptr)
        options.StreamBytes = SizeOption(v);
    else if ((v = value("--signals")) != nullptr)
        options.Signals = std::max(1, std::atoi(v));
    else if ((v = value("--echoes")) != nullptr)
        options.Echoes = std::max(1, std::atoi(v));
    else if (std::strcmp(arg, "--unknown-callers") == 0)
        options.UnknownCallers = true;
    else if (std::strcmp(arg, "--after-text") == 0)
        options.SignalsAfterText = true;
    else if ((v = value("--idle-seconds")) != nullptr)
        options.IdleSeconds = std::max(1, std::atoi(v));
    else if ((v = value("--text-style")) != nullptr)
        options.TextStyle = std::clamp(std::atoi(v), 1, 3);
    else
        return false;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TOptions options;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--", 2) == 0) {
            if (!ParseOption(options, argv[i])) {
                std::fprintf(stderr, "bench_exit: unknown option %s\n", argv[i]);
                return 2;
            }
            continue;
        }
        switch (positional++) {
        case 0:
            options.Callers = std::max(2 * SingleCallers + 2, std::atoi(argv[i]));
            break;
        case 1:
            options.Runs = std::max(1, std::atoi(argv[i]));
            break;
        default:
            options.Binary = QString::fromLocal8Bit(argv[i]);
            break;
        }
    }
    const long files = quillet::RaiseOpenFileLimit();
    std::printf("bench_exit: %s; %d callers, %d runs, open-file limit %ld; %s\n",
        qPrintable(options.Binary), options.Callers, options.Runs, files, MachineLoad().c_str());
    for (int run = 1; run <= options.Runs; ++run) {
        if (options.Wants("crowd"))
            Crowd(options, run);
        if (options.Wants("hangup"))
            HangUp(options, run, std::nullopt);
        if (options.Wants("term"))
            HangUp(options, run, 1000ms);
        if (options.Wants("signals"))
            Signals(options, run);
        if (options.Wants("echo"))
            Echo(options, run);
        if (options.Wants("memory"))
            Memory(options, run);
        if (options.Wants("stream"))
            Stream(options, run);
        if (options.Wants("idle")
            && !IdleFigure(options.Binary, IdleFew, options.Callers, options.IdleSeconds))
            ++Failures;
        if (options.Wants("crowd-memory") && !CrowdMemoryFigure(options.Binary, options.Callers))
            ++Failures;
    }
    return Failures == 0 ? 0 : 1;
}
