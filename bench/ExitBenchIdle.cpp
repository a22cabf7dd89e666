#include "ExitBenchIdle.h"

#include "ExitBenchSupport.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace quillet::bench {
namespace {

// One callers' section of the idle figure.
void PrintIdle(const TRunningProgram& program, const std::string& what, int seconds, bool& allWell)
{
    if (!program.WaitIdle(60s)) {
        std::printf("  idle: FAILED: the program did not go idle %s\n", what.c_str());
        allWell = false;
        return;
    }
    const auto switchesBefore = program.ContextSwitches();
    const TCpu cpuBefore = program.Cpu();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const long long switches = program.ContextSwitchesSince(switchesBefore);
    const TCpu cpu = program.Cpu();
    std::printf("[idle %s]\n", what.c_str());
    std::printf("context switches in %d s  %lld\n", seconds, switches);
    std::printf("wake-ups per second  %.2f\n", static_cast<double>(switches) / seconds);
    std::printf("threads  %d\n", program.Threads());
    std::printf("resident MiB  %.1f\n", program.ResidentMiB());
    std::printf(
        "processor ms per second  %.3f\n\n", (cpu.Total - cpuBefore.Total) * 1000 / seconds);
    std::fflush(stdout);
}

// The largest resident size seen while it runs, sampled every 20 ms.
class TPeakSampler {
public:
    explicit TPeakSampler(const TRunningProgram& program)
        : Sampler([this, &program] {
            while (!Stop.load()) {
                const double now = program.ResidentMiB();
                double seen = Peak.load();
                while (now > seen && !Peak.compare_exchange_weak(seen, now)) { }
                std::this_thread::sleep_for(20ms);
            }
        })
    {
    }
    ~TPeakSampler() { Finish(); }
    TPeakSampler(const TPeakSampler&) = delete;
    TPeakSampler& operator=(const TPeakSampler&) = delete;

    double Finish()
    {
        Stop.store(true);
        if (Sampler.joinable())
            Sampler.join();
        return Peak.load();
    }

private:
    std::atomic<bool> Stop { false };
    std::atomic<double> Peak { 0 };
    std::thread Sampler;
};

// `count` callers that connect and send their names without the line end that would finish
// them, all before the first one hangs up.
std::vector<testing::TRawPeer> UnnamedCrowd(int count)
{
    std::vector<testing::TRawPeer> peers(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < peers.size(); ++i) {
        const int number = static_cast<int>(i);
        if (!peers[i].Connect(ProgramPort, testing::CrowdAddress(number, 40))
            || !peers[i].Send("caller" + std::to_string(number)))
            return {};
    }
    return peers;
}

bool CrowdMemoryOnce(const QString& binary, int callers, bool greeted)
{
    const char* what = greeted ? "greeted" : "unnamed";
    TRunningProgram program;
    if (!program.StartWithoutCaller(binary, greeted ? callers : 0) || !program.WaitIdle()) {
        std::printf("  crowd-memory: FAILED: the program did not answer\n");
        return false;
    }
    const double before = program.ResidentMiB();
    const int threadsBefore = program.Threads();
    TPeakSampler peak(program);
    bool allThere = true;
    std::vector<testing::TRawPeer> peers;
    if (greeted) {
        TCrowd crowd = GreetCrowd(callers);
        allThere = crowd.Greeted == crowd.Size;
        peers = std::move(crowd.Peers);
    } else {
        peers = UnnamedCrowd(callers);
        allThere = !peers.empty();
    }
    program.WaitIdle();
    const int threadsAtPeak = program.Threads();
    peers.clear();
    const auto hungUp = TClock::now();
    const double idleMs = program.WaitIdle(60s) ? Ms(TClock::now() - hungUp) : -1;
    std::this_thread::sleep_for(10s - std::min<TClock::duration>(10s, TClock::now() - hungUp));
    const double after = program.ResidentMiB();
    const double highest = peak.Finish();
    std::printf("[crowd memory %s]\n", what);
    std::printf("resident MiB before  %.1f\n", before);
    std::printf("resident MiB at the peak  %.1f\n", highest);
    std::printf("resident MiB 10 s after the hang-up  %.1f\n", after);
    std::printf("resident MiB kept  %.1f\n", after - before);
    std::printf("threads before  %d\n", threadsBefore);
    std::printf("threads with the crowd  %d\n", threadsAtPeak);
    std::printf("threads 10 s after the hang-up  %d\n", program.Threads());
    std::printf("idle again after the hang-up ms  %.0f\n\n", idleMs);
    std::fflush(stdout);
    program.Terminate();
    if (!allThere || !program.EndedWell()) {
        std::printf("  crowd-memory: FAILED: not every caller came through, or the program did "
                    "not end well\n");
        return false;
    }
    return true;
}

} // namespace

bool IdleFigure(const QString& binary, int few, int callers, int seconds)
{
    TRunningProgram program;
    // Callers the phonebook knows: their ends ask nothing.
    if (!program.StartWithoutCaller(binary, callers)) {
        std::printf("  idle: FAILED: the program did not answer\n");
        return false;
    }
    bool allWell = true;
    PrintIdle(program, "0 conversations", seconds, allWell);
    TCrowd first = GreetCrowd(few);
    PrintIdle(program, std::to_string(few) + " conversations", seconds, allWell);
    TCrowd rest = GreetCrowd(callers - few, few);
    PrintIdle(program, std::to_string(callers) + " conversations", seconds, allWell);
    const bool greeted = first.Greeted == first.Size && rest.Greeted == rest.Size;
    first.Peers.clear();
    rest.Peers.clear();
    PrintIdle(program, std::to_string(callers) + " ended conversations", seconds, allWell);
    program.Terminate();
    if (!greeted || !program.EndedWell()) {
        std::printf("  idle: FAILED: not every caller was greeted, or the program did not end "
                    "well\n");
        return false;
    }
    return allWell;
}

bool CrowdMemoryFigure(const QString& binary, int callers)
{
    const bool unnamed = CrowdMemoryOnce(binary, callers, false);
    const bool greeted = CrowdMemoryOnce(binary, callers, true);
    return unnamed && greeted;
}

} // namespace quillet::bench
