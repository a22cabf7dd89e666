#pragma once

// The pieces of bench_exit: the real program started in a sandbox and watched from /proc (its
// processor time, its main thread's, its resident size, when it has gone idle), and a crowd of
// raw callers greeting it at once.

#include "ConversationBenchSupport.h"

#include "settings/Settings.h"
#include "support/ProgramSandbox.h"

#include <QProcess>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace quillet::bench {

// What the program answers every caller with.
inline const std::string Greeting = "Bench\r\n";

inline double Median(std::vector<double> values)
{
    return Summarise(std::move(values)).Median;
}

// Processor time in seconds: the whole program (user + system of every thread) and its main
// thread alone (the scheduler's own count, in nanoseconds, so short spells are not lost to the
// clock tick).
struct TCpu {
    double Total = 0;
    double Main = 0;
};

class TRunningProgram {
public:
    // Starts the program named "Bench" and calls it once it listens; that first caller, greeted,
    // or nullptr when the program did not answer. With `knownCallers`, the phonebook holds the
    // callers "caller0" to "caller<n-1>", so that their ends ask nothing. `environment` is added
    // to the sandbox's (another platform than the offscreen one, say).
    std::unique_ptr<testing::TRawPeer> Start(
        const QString& binary, int knownCallers = 0, const QProcessEnvironment& environment = {})
    {
        std::unique_ptr<testing::TRawPeer> peer = Launch(binary, knownCallers, environment);
        if (!peer || !peer->Send("first\r\n") || peer->Receive(Greeting.size(), 10s) != Greeting)
            return nullptr;
        return peer;
    }
    // The same, with no conversation left: the first caller hangs up before it says its name,
    // which leaves no tab. False when the program did not answer.
    bool StartWithoutCaller(const QString& binary, int knownCallers = 0)
    {
        return Launch(binary, knownCallers) != nullptr;
    }

    ~TRunningProgram()
    {
        if (Process.state() != QProcess::NotRunning) {
            Process.kill();
            Process.waitForFinished(5000);
        }
    }

    TCpu Cpu() const
    {
        TCpu cpu;
        const std::string base = "/proc/" + std::to_string(Pid);
        std::ifstream stat(base + "/stat");
        std::string line;
        std::getline(stat, line);
        // The fields after the command name, which is in parentheses and may hold blanks.
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        std::string field;
        unsigned long long user = 0;
        unsigned long long system = 0;
        for (int index = 3; fields >> field; ++index) {
            if (index == 14)
                user = std::stoull(field);
            if (index == 15) {
                system = std::stoull(field);
                break;
            }
        }
        cpu.Total
            = static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
        std::ifstream schedstat(base + "/task/" + std::to_string(Pid) + "/schedstat");
        unsigned long long ns = 0;
        schedstat >> ns;
        cpu.Main = static_cast<double>(ns) / 1e9;
        return cpu;
    }

    // Only before starting: the program runs on this X display, its main window shown, rather
    // than on the offscreen platform.
    void SetDisplay(const QString& display) { Display = display; }
    // Only before starting: settings.ini gets these lines too.
    void AddSettings(const std::string& lines) { ExtraSettings = lines; }
    qint64 ProcessId() const { return Pid; }

    // Threads the program has now.
    int Threads() const
    {
        std::ifstream status("/proc/" + std::to_string(Pid) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("Threads:", 0) == 0)
                return std::stoi(line.substr(8));
        }
        return -1;
    }

    // Context switches, voluntary and not, of every thread the program has now, by thread: each
    // is a time the thread woke and slept again.
    std::map<std::string, long long> ContextSwitches() const
    {
        std::map<std::string, long long> switches;
        std::error_code error;
        const std::filesystem::path tasks = "/proc/" + std::to_string(Pid) + "/task";
        for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
            std::ifstream status(task.path() / "status");
            long long& total = switches[task.path().filename().string()];
            for (std::string line; std::getline(status, line);) {
                const std::size_t colon = line.find(':');
                const std::string key = line.substr(0, colon);
                if (key == "voluntary_ctxt_switches" || key == "nonvoluntary_ctxt_switches")
                    total += std::stoll(line.substr(colon + 1));
            }
        }
        return switches;
    }
    // The context switches from `before` until now, of the threads there are now (a thread that
    // ended meanwhile took its count with it; one that began counts whole).
    long long ContextSwitchesSince(const std::map<std::string, long long>& before) const
    {
        long long total = 0;
        for (const auto& [task, now] : ContextSwitches()) {
            const auto then = before.find(task);
            total += now - (then != before.end() ? then->second : 0);
        }
        return total;
    }

    double ResidentMiB() const
    {
        std::ifstream statm("/proc/" + std::to_string(Pid) + "/statm");
        long long size = 0;
        long long resident = 0;
        statm >> size >> resident;
        return static_cast<double>(resident * ::sysconf(_SC_PAGESIZE)) / 1048576.0;
    }

    // Waits until, over half a second, the main thread ran less than 5 ms and the whole program
    // less than a fifth of a core (its conversations' threads wake every 300 ms each). False at
    // the time limit.
    bool WaitIdle(std::chrono::milliseconds limit = 30s) const
    {
        const auto deadline = TClock::now() + limit;
        TCpu last = Cpu();
        while (TClock::now() < deadline) {
            std::this_thread::sleep_for(500ms);
            const TCpu now = Cpu();
            const bool idle = now.Main - last.Main < 0.005 && now.Total - last.Total < 0.1;
            last = now;
            if (idle)
                return true;
        }
        return false;
    }

    // SIGTERM; the time until the program has ended, in ms (-1 when it did not end in 30 s).
    double Terminate()
    {
        const auto start = TClock::now();
        Process.terminate();
        if (!Process.waitForFinished(30000))
            return -1;
        Ended = true;
        return Ms(TClock::now() - start);
    }

    bool EndedWell() const
    {
        return Ended && Process.exitStatus() == QProcess::NormalExit && Process.exitCode() == 0;
    }
    std::string ExitText() const
    {
        if (!Ended)
            return "did NOT end";
        return std::string(Process.exitStatus() == QProcess::NormalExit ? "normal exit"
                                                                        : "NOT a normal exit")
            + ", status " + std::to_string(Process.exitCode());
    }

private:
    // Starts the program and connects to it once it listens: that connection, not greeted yet.
    std::unique_ptr<testing::TRawPeer> Launch(
        const QString& binary, int knownCallers, const QProcessEnvironment& extra = {})
    {
        if (!Sandbox.Root.isValid() || !Sandbox.Prepare(binary, "Bench"))
            return nullptr;
        {
            std::ofstream settings(Sandbox.Settings, std::ios::binary | std::ios::app);
            settings << ExtraSettings;
            if (knownCallers > 0) {
                settings << "[Users Section]\nfirst=127.0.0.1,2323,1\n";
                for (int i = 0; i < knownCallers; ++i)
                    settings << "caller" << i << "=127.0.0.1,2323,1\n";
            }
        }
        if (Display.isEmpty() && extra.isEmpty()) {
            Sandbox.Start(Process, {});
        } else {
            QProcessEnvironment environment = Sandbox.Environment();
            if (!Display.isEmpty()) {
                environment.insert("QT_QPA_PLATFORM", "xcb");
                environment.insert("DISPLAY", Display);
            }
            environment.insert(extra);
            Process.setProcessEnvironment(environment);
            Process.setStandardOutputFile(QProcess::nullDevice());
            Process.setStandardErrorFile(QProcess::nullDevice());
            Process.start(Sandbox.Program,
                Display.isEmpty() ? QStringList() : QStringList { QStringLiteral("show") });
        }
        if (!Process.waitForStarted(5000))
            return nullptr;
        Pid = Process.processId();
        auto peer = std::make_unique<testing::TRawPeer>();
        const auto deadline = TClock::now() + 15s;
        while (!peer->Connect(settings::DefaultPort)) {
            peer->Close();
            if (TClock::now() >= deadline)
                return nullptr;
            std::this_thread::sleep_for(20ms);
        }
        return peer;
    }

    testing::TProgramSandbox Sandbox;
    QString Display;
    std::string ExtraSettings;
    QProcess Process;
    qint64 Pid = 0;
    bool Ended = false;
};

struct TCrowd {
    std::vector<testing::TRawPeer> Peers;
    int Size = 0;
    int Greeted = 0;
    double GreetedMs = -1; // from the first connect until every caller was greeted
};

// `count` callers connect at once, then each sends its name; waits (one poll over all of them)
// until every one has the program's greeting, or two minutes have passed. The callers are
// numbered from `first` on (caller<n>, from an address of their number's own).
inline TCrowd GreetCrowd(int count, int first = 0)
{
    TCrowd crowd;
    crowd.Size = count;
    crowd.Peers.resize(static_cast<std::size_t>(count));
    const auto start = TClock::now();
    for (std::size_t i = 0; i < crowd.Peers.size(); ++i) {
        const int number = first + static_cast<int>(i);
        if (!crowd.Peers[i].Connect(settings::DefaultPort, testing::CrowdAddress(number, 40)))
            return crowd;
    }
    for (std::size_t i = 0; i < crowd.Peers.size(); ++i) {
        if (!crowd.Peers[i].Send("caller" + std::to_string(first + static_cast<int>(i)) + "\r\n"))
            return crowd;
    }
    std::vector<std::string> received(crowd.Peers.size());
    std::vector<bool> done(crowd.Peers.size(), false);
    PollPeers(
        crowd.Peers, [&](std::size_t i) { return !done[i]; },
        [&](std::size_t i) {
            if (crowd.Peers[i].ReceiveSome(received[i], 0) < 0
                || received[i].size() >= Greeting.size()) {
                done[i] = true;
                crowd.Greeted += received[i] == Greeting ? 1 : 0;
            }
        },
        start + 120s);
    crowd.GreetedMs = Ms(TClock::now() - start);
    return crowd;
}

} // namespace quillet::bench
