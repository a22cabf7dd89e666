// The end of the real program while it holds many conversations: it is started in a sandbox as a
// user would run it, raw callers call it on its port and are greeted, then it is sent SIGTERM.
// Prints, per run, how long the callers took until all were greeted and how long the program
// took to end after the signal, with its exit status.
//
// Port 2323 must be free: run it in a private network namespace, e.g.
//   unshare -n sh -c 'ip link set lo up && bench/bench_exit 1000 3'
//
// Usage: bench_exit [callers] [runs]   (defaults 1000 and 3)
#include "BenchSandbox.h"
#include "platform/ProcessLimits.h"
#include "support/RawPeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

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

struct TRun {
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

TRun RunOnce(int callers)
{
    TRun run;
    quillet::bench::TSandbox sandbox;
    if (!sandbox.Root.isValid() || !sandbox.Prepare())
        return run;
    const auto program = std::make_unique<QProcess>();
    sandbox.Start(*program, {});

    std::vector<std::unique_ptr<TRawPeer>> peers;
    peers.push_back(std::make_unique<TRawPeer>());
    if (!ConnectWhenListening(*peers.back(), 15s))
        return run;
    QElapsedTimer clock;
    clock.start();
    for (int i = 1; i < callers; ++i) {
        peers.push_back(std::make_unique<TRawPeer>());
        if (!peers.back()->Connect(ProgramPort))
            return run;
    }
    for (int i = 0; i < callers; ++i) {
        if (!peers[static_cast<std::size_t>(i)]->Send("caller" + std::to_string(i) + "\r\n"))
            return run;
    }
    const std::string greeting = "Bench\r\n";
    std::vector<std::string> received(peers.size());
    const auto deadline = std::chrono::steady_clock::now() + 120s;
    while (run.Greeted < callers && std::chrono::steady_clock::now() < deadline) {
        run.Greeted = 0;
        for (std::size_t i = 0; i < peers.size(); ++i) {
            if (received[i].size() < greeting.size())
                received[i] += peers[i]->Receive(greeting.size() - received[i].size(), 0ms);
            run.Greeted += received[i] == greeting ? 1 : 0;
        }
        if (run.Greeted < callers)
            std::this_thread::sleep_for(1ms);
    }
    run.GreetedMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    if (run.Greeted < callers)
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
    const long files = quillet::RaiseOpenFileLimit();
    std::printf("bench_exit: %d callers, %d runs, open-file limit %ld\n", callers, runs, files);
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        const TRun run = RunOnce(callers);
        std::printf(
            "run %d: %d of %d greeted after %.1f ms; SIGTERM to end %.1f ms, %s, status %d\n",
            i + 1, run.Greeted, callers, run.GreetedMs, run.ExitMs,
            run.NormalExit ? "normal exit" : "NOT a normal exit", run.ExitCode);
        if (run.Greeted < callers || run.ExitMs < 0 || !run.NormalExit || run.ExitCode != 0)
            ++failures;
    }
    return failures == 0 ? 0 : 1;
}
