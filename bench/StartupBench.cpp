// Start-up time of Quillet: from starting the program until its event loop runs, seen from
// outside as the moment its activation socket answers. Also the time a second start takes to
// hand over to the running copy and end, and what a full phonebook (65,535 contacts in
// settings.ini) adds to the start, with the main window hidden (as usual) and shown ("show").
//
// Each run uses a fresh sandbox (program copy with a stored name, runtime, config and home
// folders) on the offscreen platform, so no run inherits a lock from the one before. The kinds of
// start take turns, so that a change in the machine's load meets all of them alike. One kind runs
// without a skin ("Skin file=none"), to show the built-in skin's share of the start.
//
// Besides the wall time, the processor time the started program has used when its loop answers
// (the sum over its threads of the time they ran, from /proc/<pid>/task/*/schedstat, in
// nanoseconds): it varies much less with the machine's load than the wall time.
//
// Usage: bench_startup [runs]   (default 20, of each kind)
// The program started is this build's, or the one $QUILLET_BENCH_PROGRAM names.
#include "SampleContacts.h"
#include "shell/TSingleInstance.h"
#include "support/ProgramSandbox.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using TSandbox = quillet::testing::TProgramSandbox;

struct TSample {
    double StartupMs;
    double SecondCopyMs;
    std::optional<double> ProcessorMs;
};

// The time the threads of a running process have spent on a processor so far; nothing when the
// system does not keep it.
std::optional<double> ProcessorTimeMs(qint64 pid)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    const QStringList threads = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (threads.isEmpty())
        return std::nullopt;
    double total = 0;
    for (const QString& thread : threads) {
        QFile schedstat(tasks.filePath(thread + "/schedstat"));
        if (!schedstat.open(QIODevice::ReadOnly))
            return std::nullopt;
        // "<ns on a processor> <ns waiting for one> <time slices>"
        bool number = false;
        const double ns = schedstat.readLine().split(' ').value(0).toDouble(&number);
        if (!number)
            return std::nullopt;
        total += ns / 1e6;
    }
    return total;
}

// Adds `lines` to the "[Settings]" section the sandbox wrote (it is the file's last section then).
bool AppendSettings(const TSandbox& sandbox, const QByteArray& lines)
{
    QFile settings(sandbox.Root.path() + "/bin/settings.ini");
    return lines.isEmpty() || (settings.open(QIODevice::Append) && settings.write(lines) > 0);
}

// Adds a full phonebook to the sandbox's settings.ini: in name order, as the program saves it, or
// in an order a hand-edited file may have.
bool AddPhonebook(const TSandbox& sandbox, int contacts, bool sorted)
{
    if (contacts == 0)
        return true;
    QList<QByteArray> lines;
    for (int i = 0; i < contacts; ++i)
        lines.append(QByteArray::fromStdString(quillet::bench::SampleContactLine(i)) + '\n');
    if (sorted)
        std::sort(lines.begin(), lines.end());
    QFile settings(sandbox.Root.path() + "/bin/settings.ini");
    return settings.open(QIODevice::Append)
        && settings.write("\n[Users Section]\n" + lines.join()) > 0;
}

std::optional<TSample> RunOnce(
    const QString& program, int contacts, bool sorted, bool shown, const QByteArray& moreSettings)
{
    TSandbox sandbox;
    if (!sandbox.Prepare(program, "Bench") || !AppendSettings(sandbox, moreSettings)
        || !AddPhonebook(sandbox, contacts, sorted))
        return std::nullopt;

    QProcess first;
    QElapsedTimer clock;
    clock.start();
    sandbox.Start(first, shown ? QStringList { "show" } : QStringList {});
    // The socket appears as the program starts listening, shortly before its event loop runs;
    // the answer comes from the running loop.
    const QString socket = quillet::TSingleInstance::ServerPath(sandbox.Runtime);
    while (
        !QFile::exists(socket) && clock.elapsed() < 10000 && first.state() != QProcess::NotRunning)
        std::this_thread::sleep_for(500us);
    const std::optional<std::string> answer
        = quillet::TSingleInstance::Request(sandbox.Runtime, "status", 5000ms);
    const double startup = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    if (!answer)
        return std::nullopt;
    const std::optional<double> processor = ProcessorTimeMs(first.processId());

    QProcess second;
    clock.restart();
    sandbox.Start(second, {});
    const bool ended = second.waitForFinished(5000);
    const double handOver = static_cast<double>(clock.nsecsElapsed()) / 1e6;

    first.kill();
    first.waitForFinished(5000);
    if (!ended || second.exitCode() != 0)
        return std::nullopt;
    return TSample { startup, handOver, processor };
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void Report(const char* what, std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    const double median = Median(values);
    const double mean = std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(n);
    double variance = 0;
    for (double v : values)
        variance += (v - mean) * (v - mean);
    const double deviation = n > 1 ? std::sqrt(variance / static_cast<double>(n - 1)) : 0.0;
    const double p90 = values[std::min(
        n - 1, static_cast<std::size_t>(std::ceil(0.9 * static_cast<double>(n))) - 1)];
    std::printf("%-52s n=%zu  median %7.1f ms  min %7.1f  p90 %7.1f  max %7.1f  stddev %6.1f\n",
        what, n, median, values.front(), p90, values.back(), deviation);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const QString program
        = qEnvironmentVariable("QUILLET_BENCH_PROGRAM", QStringLiteral(QUILLET_BINARY));
    constexpr int FullPhonebook = 65535;

    struct TKind {
        const char* Name;
        int Contacts;
        bool Sorted;
        bool Shown;
        QByteArray MoreSettings;
        std::vector<double> Startup;
        std::vector<double> Processor;
    };
    std::array<TKind, 7> kinds { TKind {
                                     "start to running event loop", 0, true, false, {}, {}, {} },
        TKind { "start, 65,535 contacts", FullPhonebook, true, false, {}, {}, {} },
        TKind { "start, 65,535 contacts not in order", FullPhonebook, false, false, {}, {}, {} },
        TKind { "start shown, empty phonebook", 0, true, true, {}, {}, {} },
        TKind { "start shown, 65,535 contacts", FullPhonebook, true, true, {}, {}, {} },
        TKind { "start without a skin", 0, true, false, "Skin file=none\n", {}, {} },
        TKind { "start, 65,535 contacts, no skin", FullPhonebook, true, false, "Skin file=none\n",
            {}, {} } };
    std::vector<double> handOver;
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        for (TKind& kind : kinds) {
            if (const auto sample
                = RunOnce(program, kind.Contacts, kind.Sorted, kind.Shown, kind.MoreSettings)) {
                kind.Startup.push_back(sample->StartupMs);
                if (sample->ProcessorMs)
                    kind.Processor.push_back(*sample->ProcessorMs);
                if (kind.Contacts == 0 && !kind.Shown && kind.MoreSettings.isEmpty())
                    handOver.push_back(sample->SecondCopyMs);
            } else {
                ++failures;
            }
        }
    }
    for (const TKind& kind : kinds) {
        if (kind.Startup.empty()) {
            std::fprintf(stderr, "no run of \"%s\" succeeded\n", kind.Name);
            return 1;
        }
    }
    for (const TKind& kind : kinds)
        Report(kind.Name, kind.Startup);
    Report("second start handed over, ended", handOver);
    for (const TKind& kind : kinds) {
        if (!kind.Processor.empty())
            Report((std::string(kind.Name) + ", processor time").c_str(), kind.Processor);
    }
    std::printf("65,535 contacts add (median against median): %.1f ms hidden, %.1f ms hidden "
                "and not in order, %.1f ms shown\n",
        Median(kinds[1].Startup) - Median(kinds[0].Startup),
        Median(kinds[2].Startup) - Median(kinds[0].Startup),
        Median(kinds[4].Startup) - Median(kinds[3].Startup));
    std::printf("the built-in skin adds (median against median): %.1f ms, %.1f ms with 65,535 "
                "contacts\n",
        Median(kinds[0].Startup) - Median(kinds[5].Startup),
        Median(kinds[1].Startup) - Median(kinds[6].Startup));
    if (failures > 0)
        std::printf("failed runs: %d\n", failures);
    return failures > 0 ? 1 : 0;
}
