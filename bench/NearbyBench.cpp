// People Nearby between two copies of the real program on two sandboxed computers (the People
// Nearby tests' sandbox: network namespaces, private buses, own discovery daemons; nothing
// reaches this machine's network). Ann's copy is on side A, Bob's on side B with People Nearby
// open. Prints:
//   - how long after Ann turns Visible Nearby on her row is in Bob's list, and how long after
//     she turns it off it is gone (each `runs` times: median, least, most);
//   - how long after Ann's copy ends (Menu > Exit) her row is gone (`ends` times);
//   - the processor time (user + system) Bob's idle copy uses in `idle` seconds with People
//     Nearby open and Ann listed, and as much with the window closed;
//   - how long after side A's daemon announces Carol her row is in Bob's list when a hostile
//     computer on side A has first flooded the network with 4,000 hand-made names that never
//     resolve and Bob's daemon has taken them in (`floods` times, each on a freshly started
//     daemon of Bob's side; -1 when she is not listed within 60 s), and the processor time that
//     daemon spent on the flood.
// Times are taken by the benchmark, which asks Bob's copy for its rows every 20 ms, so they are
// late by up to that much. The copy is the one beside the program $QUILLET_BENCH_PROGRAM names,
// when it names one, else this build's.
//
// Needs root (the sandbox's namespaces). Usage: bench_nearby [runs] [ends] [idle] [floods]
// (defaults 10, 5, 60 and 3)
#include "support/AvahiSandbox.h"
#include "support/NearbyCopy.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using quillet::testing::TAvahiSandbox;
using quillet::testing::TNearbyCopy;

struct TFigures {
    double Median = 0;
    double Least = 0;
    double Most = 0;
};

TFigures Summary(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    if (values.empty())
        return {};
    const std::size_t n = values.size();
    const double median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return { median, values.front(), values.back() };
}

void Print(const char* what, const std::vector<double>& values)
{
    const TFigures f = Summary(values);
    std::printf("%-44s median %7.1f ms  least %7.1f  most %7.1f  (%zu runs)\n", what, f.Median,
        f.Least, f.Most, values.size());
}

bool Lists(const QString& rows, bool ann)
{
    return rows.startsWith("rows") && (rows.contains("\tAnn|") == ann);
}

bool WaitBobLists(TNearbyCopy& bob, bool ann)
{
    return bob.WaitFor(
        "rows", [ann](const QString& rows) { return Lists(rows, ann); }, 30s);
}

// Milliseconds until Bob's list does (or does not) show Ann, from `since`; -1 after 30 s.
double UntilBobLists(TNearbyCopy& bob, bool ann, const QElapsedTimer& since)
{
    if (!WaitBobLists(bob, ann))
        return -1;
    return static_cast<double>(since.nsecsElapsed()) / 1e6;
}

long Cpu(TNearbyCopy& copy)
{
    const QString answer = copy.Ask("cpu");
    return answer.startsWith("cpu ") ? answer.mid(4).toLong() : -1;
}

int Fail(const char* what)
{
    std::fprintf(stderr, "bench_nearby: %s\n", what);
    return 1;
}

QString NearbyCopyProgram()
{
    const QString program = qEnvironmentVariable("QUILLET_BENCH_PROGRAM");
    const QString beside = QFileInfo(program).dir().filePath(QStringLiteral("bench/nearby_copy"));
    return !program.isEmpty() && QFileInfo::exists(beside) ? beside
                                                           : QStringLiteral(QUILLET_NEARBY_COPY);
}

// Hand-made answers sent from side A (Bob is on side B), as a hostile computer there sends them.
bool FromSideA(const TAvahiSandbox& sandbox, const std::string& words)
{
    const std::string line = "ip netns exec " + sandbox.Value("A_NETNS")
        + " " QUILLET_MDNS_ANSWER " " + sandbox.Value("A_ADDRESS") + " " + words;
    return std::system(line.c_str()) == 0;
}

// The processor time (user + system, in clock ticks) the daemon of `side` has used, or -1.
long DaemonTicks(const TAvahiSandbox& sandbox, const std::string& side)
{
    std::ifstream pid(sandbox.Folder() + "/" + side + "/avahi.pid");
    std::string number;
    pid >> number;
    std::ifstream stat("/proc/" + number + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return -1;
    // After the name: state and ten more fields, then utime and stime.
    std::istringstream fields(line.substr(close + 2));
    std::string skip;
    for (int i = 0; i < 11; ++i)
        fields >> skip;
    long user = 0;
    long system = 0;
    fields >> user >> system;
    return user + system;
}

struct TFlood {
    double Listed = -1; // ms from the announcement until Bob lists Carol; -1 after 60 s
    double DaemonMs = -1; // processor time Bob's daemon spent on the flood
};

// A flood of silent names (on a freshly started daemon of Bob's side, whose cache is empty),
// then, once Bob's daemon has taken it in (its processor time stands still), Carol.
TFlood AfterAFlood(TAvahiSandbox& sandbox, TNearbyCopy& bob, int run)
{
    TFlood flood;
    if (!sandbox.Stop("b") || !sandbox.Start("b"))
        return flood;
    const long before = DaemonTicks(sandbox, "b");
    for (int batch = 0; batch < 8; ++batch) {
        if (!FromSideA(sandbox,
                "silent 'Silent " + std::to_string(run) + " " + std::to_string(batch) + "' 500"))
            return flood;
        // Room for the daemon to read one batch before the next.
        QThread::msleep(300);
    }
    for (long last = -2, now = DaemonTicks(sandbox, "b"); now != last;
         last = now, now = DaemonTicks(sandbox, "b"))
        QThread::msleep(500);
    flood.DaemonMs = 1000.0 * static_cast<double>(DaemonTicks(sandbox, "b") - before)
        / static_cast<double>(::sysconf(_SC_CLK_TCK));
    const QString carol = QStringLiteral("\tCarol %1|").arg(run);
    QElapsedTimer since;
    since.start();
    if (!sandbox.Publish("a", "Carol " + std::to_string(run), 2323))
        return flood;
    if (!bob.WaitFor(
            "rows", [&](const QString& rows) { return rows.contains(carol); }, 60s))
        return flood;
    flood.Listed = static_cast<double>(since.nsecsElapsed()) / 1e6;
    return flood;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 10;
    const int ends = argc > 2 ? std::atoi(argv[2]) : 5;
    const int idle = argc > 3 ? std::atoi(argv[3]) : 60;
    const int floods = argc > 4 ? std::atoi(argv[4]) : 3;
    const QString copy = NearbyCopyProgram();

    TAvahiSandbox sandbox(QUILLET_AVAHI_SANDBOX);
    if (const auto reason = sandbox.Up()) {
        std::fprintf(stderr, "bench_nearby: %s\n", reason->c_str());
        return 1;
    }
    TNearbyCopy bob;
    if (!bob.Prepare(copy, "User name=Bob\n") || !bob.Start(sandbox, "B")
        || bob.Ask("open") != "ok")
        return Fail("Bob's copy did not start");

    std::vector<double> shown;
    std::vector<double> hidden;
    std::vector<double> ended;
    {
        TNearbyCopy ann;
        if (!ann.Prepare(copy, "User name=Ann\n") || !ann.Start(sandbox, "A"))
            return Fail("Ann's copy did not start");
        for (int i = 0; i < runs; ++i) {
            QElapsedTimer since;
            since.start();
            if (ann.Ask("visible") != "ok 1")
                return Fail("Ann could not turn visible");
            shown.push_back(UntilBobLists(bob, true, since));
            since.start();
            if (ann.Ask("visible") != "ok 0")
                return Fail("Ann could not hide");
            hidden.push_back(UntilBobLists(bob, false, since));
        }
    }
    for (int i = 0; i < ends; ++i) {
        TNearbyCopy ann;
        if (!ann.Prepare(copy, "User name=Ann\nVisible Nearby=1\n") || !ann.Start(sandbox, "A"))
            return Fail("Ann's copy did not start");
        if (!WaitBobLists(bob, true))
            return Fail("Bob never listed Ann");
        QElapsedTimer since;
        since.start();
        ann.Ask("quit");
        ended.push_back(UntilBobLists(bob, false, since));
        ann.Ended(15s);
    }
    Print("Ann turns visible: her row in Bob's list", shown);
    Print("Ann hides: her row gone from Bob's list", hidden);
    Print("Ann's copy ends: her row gone", ended);

    if (idle > 0) {
        TNearbyCopy ann;
        if (!ann.Prepare(copy, "User name=Ann\nVisible Nearby=1\n") || !ann.Start(sandbox, "A")
            || !WaitBobLists(bob, true))
            return Fail("Ann's copy did not start");
        for (const bool open : { true, false }) {
            if (!open && bob.Ask("close") != "ok")
                return Fail("Bob's window did not close");
            const long before = Cpu(bob);
            QElapsedTimer wall;
            wall.start();
            while (wall.elapsed() < idle * 1000L)
                QThread::msleep(200);
            const long after = Cpu(bob);
            std::printf("Bob's idle copy, People Nearby %-6s %ld ms of processor time in %d s "
                        "(%.3f %% of one core)\n",
                open ? "open:" : "closed:", after - before, idle,
                100.0 * static_cast<double>(after - before) / (idle * 1000.0));
        }
    }

    if (floods > 0) {
        std::vector<double> listed;
        std::vector<double> daemon;
        for (int run = 0; run < floods; ++run) {
            const TFlood flood = AfterAFlood(sandbox, bob, run);
            listed.push_back(flood.Listed);
            daemon.push_back(flood.DaemonMs);
        }
        Print("Carol after 4,000 silent names: in the list", listed);
        Print("Bob's daemon taking in 4,000 names: CPU", daemon);
    }
    return 0;
}
