// Start-up time of Quillet: from starting the program until its event loop runs, seen from
// outside as the moment its activation socket answers. Also the time a second start takes to
// hand over to the running copy and end.
//
// Each run uses a fresh sandbox (program copy with a stored name, runtime, config and home
// folders) on the offscreen platform, so no run inherits a lock from the one before. Runs with
// the built-in skin and runs without a skin ("Skin file=none") take turns, so that both see the
// same load on the machine.
//
// Usage: bench_startup [runs]   (default 20, of each kind)
#include "BenchSandbox.h"
#include "shell/TSingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <optional>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using quillet::bench::TSandbox;

struct TSample {
    double StartupMs;
    double SecondCopyMs;
};

std::optional<TSample> RunOnce(const QByteArray& moreSettings)
{
    TSandbox sandbox;
    if (!sandbox.Root.isValid() || !sandbox.Prepare(QStringLiteral(QUILLET_BINARY), moreSettings))
        return std::nullopt;

    QProcess first;
    QElapsedTimer clock;
    clock.start();
    sandbox.Start(first, {});
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

    QProcess second;
    clock.restart();
    sandbox.Start(second, {});
    const bool ended = second.waitForFinished(5000);
    const double handOver = static_cast<double>(clock.nsecsElapsed()) / 1e6;

    first.kill();
    first.waitForFinished(5000);
    if (!ended || second.exitCode() != 0)
        return std::nullopt;
    return TSample { startup, handOver };
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
    std::printf("%-34s n=%zu  median %7.1f ms  min %7.1f  p90 %7.1f  max %7.1f  stddev %6.1f\n",
        what, n, median, values.front(), p90, values.back(), deviation);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

    std::vector<double> startup;
    std::vector<double> handOver;
    std::vector<double> startupUnskinned;
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        if (const auto sample = RunOnce({})) {
            startup.push_back(sample->StartupMs);
            handOver.push_back(sample->SecondCopyMs);
        } else {
            ++failures;
        }
        if (const auto sample = RunOnce("Skin file=none\n"))
            startupUnskinned.push_back(sample->StartupMs);
        else
            ++failures;
    }
    if (startup.empty() || startupUnskinned.empty()) {
        std::fprintf(stderr, "no run succeeded\n");
        return 1;
    }
    Report("start to running event loop", startup);
    Report("the same without a skin", startupUnskinned);
    std::printf("%-34s %+7.1f ms (difference of the medians)\n", "the skin's share of the start",
        Median(startup) - Median(startupUnskinned));
    Report("second start handed over, ended", handOver);
    if (failures > 0)
        std::printf("failed runs: %d\n", failures);
    return failures > 0 ? 1 : 0;
}
