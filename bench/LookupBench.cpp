// Dials to a host name whose name service never answers, against the real program, measured from
// outside (/proc): its threads and resident size before, the most while the dials are made and
// once they all are, once they have given up (their time limit is 20 s), and after the name
// service has answered at last (that no such name exists) and the program has had 10 s to let go
// of what the lookups held.
//
// The program runs on a virtual X server (Xvfb) with its main window shown, and every dial is a
// click on its Dial button (xdotool) with the one contact, "Stalled" at stalled.example, selected.
// The name service is this benchmark's own, at 127.0.0.1:53, which keeps every question and
// answers none until told to. The resolver is pointed at it in a mount namespace of the
// benchmark's own (a settings file bound over /etc/resolv.conf that nothing else sees), so it
// needs root; ports 53 and 2323 must be free: run it in a private network namespace, e.g.
//   unshare -n sh -c 'ip link set lo up && bench/bench_lookups 200'
//
// Usage: bench_lookups [dials] [program]
// (defaults 200 dials, the program $QUILLET_BENCH_PROGRAM names or else the one of this build)
#include "ExitBenchSupport.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using namespace quillet::bench;

// The resolver's settings: our name service only, and the longest waits it allows, so that a
// question it does not answer holds its lookup for minutes.
constexpr const char* ResolverSettings = "nameserver 127.0.0.1\noptions timeout:30 attempts:5\n";

// Points this process's resolver (and its children's) at 127.0.0.1, in a mount namespace of its
// own. Before any thread exists: a namespace is a thread's.
bool PointResolverAtLoopback(std::string& why)
{
    if (::unshare(CLONE_NEWNS) != 0
        || ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        why = std::string("no mount namespace of its own: ") + std::strerror(errno);
        return false;
    }
    char path[] = "/tmp/bench_lookups_resolv_XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0) {
        why = std::string("no settings file: ") + std::strerror(errno);
        return false;
    }
    const bool written = ::write(fd, ResolverSettings, std::strlen(ResolverSettings))
        == static_cast<ssize_t>(std::strlen(ResolverSettings));
    ::close(fd);
    const bool bound = written && ::mount(path, "/etc/resolv.conf", nullptr, MS_BIND, nullptr) == 0;
    if (!bound)
        why = std::string("cannot bind the settings over /etc/resolv.conf: ")
            + std::strerror(errno);
    // The bound file stays reachable through the mount; its name is not needed.
    ::unlink(path);
    return bound;
}

// A name service on 127.0.0.1:53 that keeps every question and answers none, until Answer: then
// it answers every question, kept and new, with "no such name".
class TSilentNameService {
public:
    TSilentNameService()
    {
        Socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(53);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        Ready = Socket >= 0
            && ::bind(Socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        if (Ready)
            Worker = std::thread([this] { Serve(); });
    }
    ~TSilentNameService()
    {
        Stop.store(true);
        if (Worker.joinable())
            Worker.join();
        if (Socket >= 0)
            ::close(Socket);
    }
    TSilentNameService(const TSilentNameService&) = delete;
    TSilentNameService& operator=(const TSilentNameService&) = delete;

    bool Ready = false;

    int Questions() const { return Asked.load(); }
    void Answer()
    {
        const std::lock_guard guard(Lock);
        Answering = true;
        for (const TQuestion& question : Kept)
            Reply(question);
        Kept.clear();
    }

private:
    struct TQuestion {
        sockaddr_in From;
        std::string Packet;
    };

    void Serve()
    {
        while (!Stop.load()) {
            pollfd entry { Socket, POLLIN, 0 };
            if (::poll(&entry, 1, 100) <= 0)
                continue;
            TQuestion question {};
            char buffer[1500];
            socklen_t length = sizeof question.From;
            const ssize_t got = ::recvfrom(Socket, buffer, sizeof buffer, 0,
                reinterpret_cast<sockaddr*>(&question.From), &length);
            if (got < 12)
                continue;
            question.Packet.assign(buffer, static_cast<std::size_t>(got));
            Asked.fetch_add(1);
            const std::lock_guard guard(Lock);
            if (Answering)
                Reply(question);
            else
                Kept.push_back(std::move(question));
        }
    }

    // "No such name" for the question: the header and the question of the query, nothing else.
    void Reply(const TQuestion& question) const
    {
        std::string answer = question.Packet;
        std::size_t end = 12;
        while (end < answer.size() && answer[end] != 0)
            end += 1 + static_cast<unsigned char>(answer[end]);
        end = std::min(answer.size(), end + 1 + 4); // the root label, the type and the class
        answer.resize(end);
        answer[2]
            = static_cast<char>(0x80 | (answer[2] & 0x01)); // a response; recursion desired kept
        answer[3] = static_cast<char>(0x80 | 0x03); // recursion available; no such name
        for (std::size_t i = 6; i < 12; ++i)
            answer[i] = 0; // no answers, authorities or additions
        ::sendto(Socket, answer.data(), answer.size(), 0,
            reinterpret_cast<const sockaddr*>(&question.From), sizeof question.From);
    }

    int Socket = -1;
    std::atomic<bool> Stop { false };
    std::atomic<int> Asked { 0 };
    std::mutex Lock;
    bool Answering = false; // guarded by Lock
    std::vector<TQuestion> Kept; // guarded by Lock
    std::thread Worker;
};

// A virtual X server on a display number it picks itself.
class TVirtualDisplay {
public:
    TVirtualDisplay()
    {
        int pipe[2];
        if (::pipe(pipe) != 0)
            return;
        const std::string fd = std::to_string(pipe[1]);
        const char* argv[] = { "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
            "-nolisten", "tcp", nullptr };
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const bool spawned = ::posix_spawnp(&Pid, "Xvfb", &actions, nullptr,
                                 const_cast<char* const*>(argv), environ)
            == 0;
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(pipe[1]);
        std::string number;
        char c = 0;
        pollfd entry { pipe[0], POLLIN, 0 };
        while (spawned && ::poll(&entry, 1, 10000) > 0 && ::read(pipe[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(pipe[0]);
        if (!spawned)
            Pid = -1;
        else if (!number.empty())
            Name = QString::fromStdString(":" + number);
    }
    ~TVirtualDisplay()
    {
        if (Pid > 0) {
            ::kill(Pid, SIGTERM);
            ::waitpid(Pid, nullptr, 0);
        }
    }
    TVirtualDisplay(const TVirtualDisplay&) = delete;
    TVirtualDisplay& operator=(const TVirtualDisplay&) = delete;

    QString Name;

private:
    pid_t Pid = -1;
};

// xdotool on `display`: what it printed, or "" when it failed.
QString XTool(const QString& display, const QStringList& arguments)
{
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", display);
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(15000) || tool.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

// Waits until the program's main thread has run less than a millisecond over 15 ms: it has dealt
// with the click and everything the click started, so the listener has its request (a request
// not taken yet would be replaced by the next).
void WaitSettled(const TRunningProgram& program)
{
    const auto deadline = TClock::now() + 3s;
    double last = program.Cpu().Main;
    while (TClock::now() < deadline) {
        std::this_thread::sleep_for(15ms);
        const double now = program.Cpu().Main;
        if (now - last < 0.001)
            return;
        last = now;
    }
}

// Waits until the thread count has not changed for 3 s (or a minute has passed).
void WaitThreadsSteady(const TRunningProgram& program)
{
    const auto deadline = TClock::now() + 60s;
    int last = program.Threads();
    auto since = TClock::now();
    while (TClock::now() < deadline && TClock::now() - since < 3s) {
        std::this_thread::sleep_for(200ms);
        const int now = program.Threads();
        if (now != last) {
            last = now;
            since = TClock::now();
        }
    }
}

void PrintState(const char* what, const TRunningProgram& program, const TSilentNameService& names)
{
    std::printf("[dials %s]\n", what);
    std::printf("threads  %d\n", program.Threads());
    std::printf("resident MiB  %.1f\n", program.ResidentMiB());
    std::printf("questions to the name service  %d\n\n", names.Questions());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    // The namespace first: the application object may start threads.
    std::string why;
    const bool resolver = ::geteuid() == 0 && PointResolverAtLoopback(why);
    if (::geteuid() != 0)
        why = "it needs root";
    QCoreApplication app(argc, argv);
    const int dials = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const QString binary = argc > 2
        ? QString::fromLocal8Bit(argv[2])
        : qEnvironmentVariable("QUILLET_BENCH_PROGRAM", QStringLiteral(QUILLET_BINARY));
    std::printf(
        "bench_lookups: %s; %d dials; %s\n", qPrintable(binary), dials, MachineLoad().c_str());
    if (!resolver) {
        std::printf("  skipped: %s\n", why.c_str());
        return 0;
    }
    TSilentNameService names;
    TVirtualDisplay display;
    if (!names.Ready || display.Name.isEmpty()) {
        std::printf(
            "  FAILED: %s\n", names.Ready ? "no virtual X server (Xvfb)" : "port 53 is taken");
        return 1;
    }
    TRunningProgram program;
    program.SetDisplay(display.Name);
    program.AddSettings("[Users Section]\nStalled=stalled.example,2323,1\n");
    if (!program.StartWithoutCaller(binary) || !program.WaitIdle()) {
        std::printf("  FAILED: the program did not answer\n");
        return 1;
    }
    const QString window = XTool(display.Name,
        { "search", "--sync", "--onlyvisible", "--pid", QString::number(program.ProcessId()),
            "--name", "^Chat$" })
                               .section('\n', 0, 0);
    const QStringList size = XTool(display.Name, { "getwindowgeometry", "--shell", window })
                                 .split('\n')
                                 .filter(QRegularExpression("^(WIDTH|HEIGHT)="));
    if (window.isEmpty() || size.size() != 2) {
        std::printf("  FAILED: the main window was not found\n");
        return 1;
    }
    // The Dial button sits in the window's bottom right corner.
    const QString x = QString::number(size[0].section('=', 1).toInt() - 33);
    const QString y = QString::number(size[1].section('=', 1).toInt() - 17);
    PrintState("before", program, names);

    // The first dials may give up (after 20 s) before the last is made: the most seen meanwhile
    // is what the dials held at once.
    const auto start = TClock::now();
    int mostThreads = 0;
    double mostResident = 0;
    for (int i = 0; i < dials; ++i) {
        XTool(display.Name, { "mousemove", "--window", window, x, y, "click", "1" });
        WaitSettled(program);
        mostThreads = std::max(mostThreads, program.Threads());
        mostResident = std::max(mostResident, program.ResidentMiB());
    }
    const auto dialed = TClock::now();
    std::printf("%d dials made in  %.1f s\n", dials, Ms(dialed - start) / 1000);
    std::printf("threads at most while dialing  %d\n", mostThreads);
    std::printf("resident MiB at most while dialing  %.1f\n\n", mostResident);
    PrintState("all made", program, names);

    // Every dial gives up 20 s after it was made.
    std::this_thread::sleep_for(22s - std::min<TClock::duration>(22s, TClock::now() - dialed));
    WaitThreadsSteady(program);
    PrintState("given up", program, names);

    names.Answer();
    WaitThreadsSteady(program);
    std::this_thread::sleep_for(10s);
    PrintState("after the name service answered", program, names);
    const double exitMs = program.Terminate();
    std::printf("SIGTERM to end ms  %.1f\n", exitMs);
    return program.EndedWell() ? 0 : 1;
}
