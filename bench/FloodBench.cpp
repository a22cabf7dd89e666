// What a flood of connections from one computer does to a genuine caller, against the real
// program started as a user would run it. Per run and kind of flood: the program is started
// afresh, `connections` raw connections come from 127.0.0.1 (silent: they connect and send
// nothing; resetting: each connects and hangs up at once with a reset), then one genuine caller
// from 127.0.0.2 and one from 127.0.0.1 itself each send a name. Prints how long each waited
// for the program's greeting, or that it was turned away (closed without a greeting) or not
// answered within the limit, and the processor time the program used meanwhile. The caller from
// the flooding address calls again a second after each time it is turned away, as a person
// would, until it is answered or the limit has passed.
//
// Port 2323 must be free: run it in a private network namespace, e.g.
//   unshare -n sh -c 'ip link set lo up && bench/bench_flood 1000 3'
//
// Usage: bench_flood [connections] [runs] [program] [wait limit in seconds]
//        (defaults 1000, 3, the program $QUILLET_BENCH_PROGRAM names or else the one of this
//        build, 45)
#include "platform/ProcessLimits.h"
#include "settings/Settings.h"
#include "support/ProgramSandbox.h"
#include "support/RawPeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using quillet::settings::DefaultPort;
using quillet::testing::TRawPeer;

const std::string Greeting = "Bench\r\n";

// How a genuine caller fared.
struct TCall {
    double WaitedMs = -1; // until the greeting; -1 when none came
    bool TurnedAway = false; // closed by the program without a greeting
    int Attempts = 1;
};

std::string Describe(const TCall& call)
{
    std::string text = call.WaitedMs >= 0
        ? "answered after " + std::to_string(static_cast<long long>(call.WaitedMs)) + " ms"
        : (call.TurnedAway ? "turned away" : "not answered in time");
    if (call.Attempts > 1)
        text += " (" + std::to_string(call.Attempts) + " calls)";
    return text;
}

// User plus system processor time of process `pid` so far, in milliseconds.
double ProcessorMs(qint64 pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    // Fields after the command: state is field 3; utime and stime are fields 14 and 15.
    std::vector<std::string> fields;
    std::size_t at = close + 2;
    while (at < text.size()) {
        const auto space = text.find(' ', at);
        fields.push_back(text.substr(at, space - at));
        if (space == std::string::npos)
            break;
        at = space + 1;
    }
    if (fields.size() < 13)
        return -1;
    const double ticks = std::stod(fields[11]) + std::stod(fields[12]);
    return ticks * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Calls from `from`, says a name and waits up to `limit` for the greeting.
TCall Call(const std::string& from, const std::string& name, std::chrono::seconds limit)
{
    TCall call;
    QElapsedTimer clock;
    clock.start();
    TRawPeer peer;
    if (!peer.Connect(DefaultPort, from) || !peer.Send(name + "\r\n")) {
        call.TurnedAway = true;
        return call;
    }
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.size() < Greeting.size() && std::chrono::steady_clock::now() < deadline) {
        if (peer.ReceiveSome(got, 100) < 0) {
            call.TurnedAway = true;
            return call;
        }
    }
    if (got.substr(0, Greeting.size()) == Greeting)
        call.WaitedMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    return call;
}

// Calls again a second after each time it is turned away, until answered or `limit` has passed;
// the wait counts from the first call.
TCall CallUntilAnswered(
    const std::string& from, const std::string& name, std::chrono::seconds limit)
{
    QElapsedTimer clock;
    clock.start();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    TCall call;
    for (int attempt = 1;; ++attempt) {
        const auto left = std::chrono::duration_cast<std::chrono::seconds>(
            deadline - std::chrono::steady_clock::now());
        call = Call(from, name, std::max(left, std::chrono::seconds(1)));
        call.Attempts = attempt;
        if (call.WaitedMs >= 0) {
            call.WaitedMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            return call;
        }
        if (!call.TurnedAway || std::chrono::steady_clock::now() + 1s >= deadline)
            return call;
        std::this_thread::sleep_for(1s);
    }
}

struct TRun {
    bool Started = false;
    TCall Other; // from another computer
    TCall Same; // from the flooding computer
    double ProcessorMs = -1;
};

TRun RunOnce(bool silent, int connections, const QString& binary, std::chrono::seconds limit)
{
    TRun run;
    quillet::testing::TProgramSandbox sandbox;
    if (!sandbox.Root.isValid() || !sandbox.Prepare(binary, "Bench"))
        return run;
    const auto program = sandbox.Start({}, {});
    // Waits until the program listens; the probe is closed before it has said anything.
    for (int i = 0; i < 500; ++i) {
        TRawPeer probe;
        if (probe.Connect(DefaultPort, "127.0.0.3")) {
            run.Started = true;
            break;
        }
        std::this_thread::sleep_for(20ms);
    }
    if (!run.Started)
        return run;
    const double before = ProcessorMs(program->processId());

    std::vector<std::unique_ptr<TRawPeer>> held;
    for (int i = 0; i < connections; ++i) {
        auto peer = std::make_unique<TRawPeer>();
        if (!peer->Connect(DefaultPort, "127.0.0.1"))
            continue;
        if (silent)
            held.push_back(std::move(peer));
        else
            peer->Reset();
    }
    run.Other = Call("127.0.0.2", "Carol", limit);
    run.Same = CallUntilAnswered("127.0.0.1", "Dave", limit);
    run.ProcessorMs = ProcessorMs(program->processId()) - before;

    program->terminate();
    if (!program->waitForFinished(30000)) {
        program->kill();
        program->waitForFinished(5000);
    }
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int connections = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    const QString binary = argc > 3
        ? QString::fromLocal8Bit(argv[3])
        : qEnvironmentVariable("QUILLET_BENCH_PROGRAM", QStringLiteral(QUILLET_BINARY));
    const std::chrono::seconds limit(argc > 4 ? std::atoi(argv[4]) : 45);
    const long files = quillet::RaiseOpenFileLimit();
    std::printf("bench_flood: %d connections from one address, %d runs, open-file limit %ld, "
                "callers wait up to %lld s\n",
        connections, runs, files, static_cast<long long>(limit.count()));
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        for (const bool silent : { true, false }) {
            const TRun run = RunOnce(silent, connections, binary, limit);
            if (!run.Started) {
                std::printf("run %d: the program did not listen\n", i + 1);
                ++failures;
                continue;
            }
            std::printf("run %d, %s flood: a caller from another address %s; one from the "
                        "flooding address %s; the program used %.0f ms of processor time\n",
                i + 1, silent ? "silent" : "resetting", Describe(run.Other).c_str(),
                Describe(run.Same).c_str(), run.ProcessorMs);
        }
    }
    return failures == 0 ? 0 : 1;
}
