// The real program holding many conversations: it is started in a sandbox as a user would run
// it and raw callers call it on its port. Prints, per run: how long one more caller waits for its
// greeting with few conversations open and with nearly all open (what opening a conversation
// costs should not grow with their number), how long a crowd of callers took until all were
// greeted, and how long the program took to end after SIGTERM, with its exit status.
//
// Port 2323 must be free: run it in a private network namespace, e.g.
//   unshare -n sh -c 'ip link set lo up && bench/bench_exit 1000 3'
//
// Usage: bench_exit [callers] [runs] [program]   (defaults 1000, 3 and the program of this build)
#include "BenchSandbox.h"
#include "platform/ProcessLimits.h"
#include "support/RawPeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using quillet::testing::TRawPeer;

constexpr int ProgramPort = 2323;

constexpr int SingleCallers = 20;

struct TRun {
    double FirstFewMedianMs = -1; // one caller at a time, while few conversations are open
    double LastFewMedianMs = -1; // one caller at a time, while nearly all are open
    double GreetedMs = -1;
    double ExitMs = -1;
    int Greeted = 0;
    int ExitCode = -1;
    bool NormalExit = false;
};

// Connects a caller, retrying while the program has not started listening yet.
bool ConnectWhenListening(TRawPeer& peer, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!peer.Connect(ProgramPort)) {
        peer.Close();
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Calls `count` times, one caller after the other, each kept open once greeted; the median time
// from connecting to the greeting, or -1 when a caller was not greeted.
double CallOneByOne(std::vector<std::unique_ptr<TRawPeer>>& peers, int count)
{
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        auto peer = std::make_unique<TRawPeer>();
        QElapsedTimer clock;
        clock.start();
        if (!peer->Connect(ProgramPort) || !peer->Send("single" + std::to_string(i) + "\r\n"))
            return -1;
        if (peer->Receive(7, 10s) != "Bench\r\n")
            return -1;
        times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        peers.push_back(std::move(peer));
    }
    return Median(times);
}

TRun RunOnce(int callers, const QString& binary)
{
    TRun run;
    quillet::bench::TSandbox sandbox;
    if (!sandbox.Root.isValid() || !sandbox.Prepare(binary))
        return run;
    const auto program = std::make_unique<QProcess>();
    sandbox.Start(*program, {});

    // The first caller waits until the program listens.
    std::vector<std::unique_ptr<TRawPeer>> singles;
    singles.push_back(std::make_unique<TRawPeer>());
    if (!ConnectWhenListening(*singles.back(), 15s) || !singles.back()->Send("first\r\n")
        || singles.back()->Receive(7, 10s) != "Bench\r\n")
        return run;
    run.FirstFewMedianMs = CallOneByOne(singles, SingleCallers);

    const int crowdSize = callers - 2 * SingleCallers - 1;
    std::vector<std::unique_ptr<TRawPeer>> peers;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < crowdSize; ++i) {
        peers.push_back(std::make_unique<TRawPeer>());
        if (!peers.back()->Connect(ProgramPort))
            return run;
    }
    for (int i = 0; i < crowdSize; ++i) {
        if (!peers[static_cast<std::size_t>(i)]->Send("caller" + std::to_string(i) + "\r\n"))
            return run;
    }
    const std::string greeting = "Bench\r\n";
    std::vector<std::string> received(peers.size());
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    while (run.Greeted < crowdSize && std::chrono::steady_clock::now() < deadline) {
        run.Greeted = 0;
        for (std::size_t i = 0; i < peers.size(); ++i) {
            if (received[i].size() < greeting.size())
                received[i] += peers[i]->Receive(greeting.size() - received[i].size(), 0ms);
            run.Greeted += received[i] == greeting ? 1 : 0;
        }
        if (run.Greeted < crowdSize)
            std::this_thread::sleep_for(1ms);
    }
    run.GreetedMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    if (run.Greeted < crowdSize)
        return run;
    run.LastFewMedianMs = CallOneByOne(singles, SingleCallers);
    run.Greeted += static_cast<int>(singles.size());
    if (run.LastFewMedianMs < 0)
        return run;

    clock.restart();
    program->terminate();
    if (program->waitForFinished(30000)) {
        run.ExitMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        run.NormalExit = program->exitStatus() == QProcess::NormalExit;
        run.ExitCode = program->exitCode();
    } else {
        program->kill();
        program->waitForFinished(5000);
    }
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int callers = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    const QString binary
        = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral(QUILLET_BINARY);
    const long files = quillet::RaiseOpenFileLimit();
    std::printf("bench_exit: %d callers, %d runs, open-file limit %ld\n", callers, runs, files);
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        const TRun run = RunOnce(callers, binary);
        std::printf("run %d: one more caller greeted after %.2f ms with 1-%d open, %.2f ms with "
                    "%d-%d open (medians of %d); a crowd of %d greeted after %.1f ms; SIGTERM with "
                    "%d open to end %.1f ms, %s, status %d\n",
            i + 1, run.FirstFewMedianMs, SingleCallers, run.LastFewMedianMs,
            callers - SingleCallers, callers - 1, SingleCallers, callers - 2 * SingleCallers - 1,
            run.GreetedMs, run.Greeted, run.ExitMs,
            run.NormalExit ? "normal exit" : "NOT a normal exit", run.ExitCode);
        if (run.Greeted < callers || run.ExitMs < 0 || !run.NormalExit || run.ExitCode != 0)
            ++failures;
    }
    return failures == 0 ? 0 : 1;
}
