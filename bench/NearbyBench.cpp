// People Nearby between two copies of the real program on two sandboxed computers (the People
// Nearby tests' sandbox: network namespaces, private buses, own discovery daemons; nothing
// reaches this machine's network). Ann's copy is on side A, Bob's on side B with People Nearby
// open. Prints:
//   - how long after Ann turns Visible Nearby on her row is in Bob's list, and how long after
//     she turns it off it is gone (each `runs` times: median, least, most);
//   - how long after Ann's copy ends (Menu > Exit) her row is gone (`ends` times);
//   - the processor time (user + system) Bob's idle copy uses in `idle` seconds with People
//     Nearby open and Ann listed, and as much with the window closed.
// Times are taken by the benchmark, which asks Bob's copy for its rows every 20 ms, so they are
// late by up to that much.
//
// Needs root (the sandbox's namespaces). Usage: bench_nearby [runs] [ends] [idle]
// (defaults 10, 5 and 60)
#include "support/AvahiSandbox.h"
#include "support/NearbyCopy.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::atoi(argv[1]) : 10;
    const int ends = argc > 2 ? std::atoi(argv[2]) : 5;
    const int idle = argc > 3 ? std::atoi(argv[3]) : 60;

    TAvahiSandbox sandbox(QUILLET_AVAHI_SANDBOX);
    if (const auto reason = sandbox.Up()) {
        std::fprintf(stderr, "bench_nearby: %s\n", reason->c_str());
        return 1;
    }
    TNearbyCopy bob;
    if (!bob.Prepare(QUILLET_NEARBY_COPY, "User name=Bob\n") || !bob.Start(sandbox, "B")
        || bob.Ask("open") != "ok")
        return Fail("Bob's copy did not start");

    std::vector<double> shown;
    std::vector<double> hidden;
    std::vector<double> ended;
    {
        TNearbyCopy ann;
        if (!ann.Prepare(QUILLET_NEARBY_COPY, "User name=Ann\n") || !ann.Start(sandbox, "A"))
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
        if (!ann.Prepare(QUILLET_NEARBY_COPY, "User name=Ann\nVisible Nearby=1\n")
            || !ann.Start(sandbox, "A"))
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
        if (!ann.Prepare(QUILLET_NEARBY_COPY, "User name=Ann\nVisible Nearby=1\n")
            || !ann.Start(sandbox, "A") || !WaitBobLists(bob, true))
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
    return 0;
}
