// A megabyte pasted into the IM typing pane of the real program, as a user pastes it: the
// program runs on a virtual X server of its own, a raw caller calls it and switches to IM, this
// benchmark owns the clipboard with 1 MiB of text (80-character lines, or one line with
// --one-line) and presses Ctrl+V in the chat window. Measured from outside, from /proc: the
// main thread's processor time until the program is idle again, the time until then, and the
// resident size and heap (the [heap] mapping's resident part) before, right after and 5 s
// after.
//
// Needs Xvfb and xdotool; port 2323 must be free (run it in a private network namespace, as
// scripts/bench-compare does). It takes the first free X display from :70 to :79.
//
// Usage: bench_paste [runs] [program] [--one-line]
// (defaults 3 runs, the program $QUILLET_BENCH_PROGRAM names or else the one of this build)

#include "ExitBenchSupport.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using namespace quillet::bench;

constexpr qsizetype PastedChars = 1 << 20;

// The [heap] mapping's resident size in MiB: the allocator's main arena, which keeps what it
// does not hand back to the system.
double HeapMiB(qint64 pid)
{
    std::ifstream maps("/proc/" + std::to_string(pid) + "/smaps");
    bool inHeap = false;
    for (std::string line; std::getline(maps, line);) {
        if (line.find(" [heap]") != std::string::npos)
            inHeap = true;
        else if (inHeap && line.rfind("Rss:", 0) == 0)
            return std::strtod(line.c_str() + 4, nullptr) / 1024.0;
    }
    return 0;
}

QString PastedText(bool oneLine)
{
    static const char* const words[] = { "quick ", "brown ", "fox ", "jumps ", "over ", "the ",
        "lazy ", "dog ", "while ", "you ", "read ", "it " };
    QString text;
    text.reserve(PastedChars);
    for (std::size_t i = 0; text.size() < PastedChars; ++i) {
        text += QLatin1String(words[i % (sizeof(words) / sizeof(words[0]))]);
        if (!oneLine && text.size() % 81 > 74)
            text += u'\n';
    }
    text.resize(PastedChars);
    return text;
}

// A virtual X server on the first free display of ours.
struct TDisplay {
    QProcess Server;
    QString Name;

    bool Start()
    {
        for (int number = 70; number <= 79; ++number) {
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)))
                continue;
            Name = QStringLiteral(":%1").arg(number);
            Server.setStandardOutputFile(QProcess::nullDevice());
            Server.setStandardErrorFile(QProcess::nullDevice());
            Server.start(QStringLiteral("Xvfb"),
                { Name, QStringLiteral("-screen"), QStringLiteral("0"),
                    QStringLiteral("1280x900x24"), QStringLiteral("-nolisten"),
                    QStringLiteral("tcp") });
            Server.waitForStarted(5000);
            const auto deadline = TClock::now() + 10s;
            while (Server.state() == QProcess::Running && TClock::now() < deadline) {
                if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
                    return true;
                std::this_thread::sleep_for(20ms);
            }
            Server.kill();
            Server.waitForFinished(2000);
        }
        return false;
    }

    ~TDisplay()
    {
        Server.terminate();
        if (!Server.waitForFinished(3000))
            Server.kill();
    }
};

QString Xdotool(const QString& display, const QStringList& arguments)
{
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral("xdotool"), arguments);
    tool.waitForFinished(10000);
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

// The chat window: of the program's two windows titled "Chat" (an incoming call shows the main
// window too), the larger.
QString ChatWindow(const TDisplay& display, qint64 pid)
{
    const QStringList windows = Xdotool(display.Name,
        { QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
            QStringLiteral("--pid"), QString::number(pid), QStringLiteral("--name"),
            QStringLiteral("^Chat$") })
                                    .split(u'\n', Qt::SkipEmptyParts);
    QString largest;
    long long largestArea = -1;
    for (const QString& window : windows) {
        long long area = 1;
        const QString geometry = Xdotool(display.Name,
            { QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window });
        for (const QString& line : geometry.split(u'\n')) {
            if (line.startsWith(QLatin1String("WIDTH="))
                || line.startsWith(QLatin1String("HEIGHT=")))
                area *= line.section(u'=', 1).toLongLong();
        }
        if (area > largestArea) {
            largestArea = area;
            largest = window;
        }
    }
    return largest;
}

// Runs this process's events (the clipboard is served from here) and reads what the caller
// gets, until `done` or `limit`.
template <typename TDone>
bool Serve(quillet::testing::TRawPeer& peer, std::string& received, TDone done,
    std::chrono::milliseconds limit)
{
    const auto deadline = TClock::now() + limit;
    while (TClock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        while (peer.ReceiveSome(received, 0) > 0) { }
        if (done())
            return true;
        std::this_thread::sleep_for(5ms);
    }
    return false;
}

struct TFigures {
    std::vector<double> MainMs, WallMs, ResidentBefore, ResidentAfter, ResidentLater, HeapBefore,
        HeapAfter, HeapLater;
};

bool PasteOnce(
    const QString& binary, const TDisplay& display, const QString& text, TFigures& figures)
{
    TRunningProgram program;
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("DISPLAY"), display.Name);
    const std::unique_ptr<quillet::testing::TRawPeer> peer = program.Start(binary, 0, environment);
    if (peer == nullptr) {
        std::printf("the program did not answer its caller\n");
        return false;
    }
    std::string received;
    const char im = static_cast<char>(0xFB);
    peer->Send(std::string_view(&im, 1));
    if (!Serve(
            *peer, received, [&] { return received.find(im) != std::string::npos; }, 10s)) {
        std::printf("the program did not switch to IM\n");
        return false;
    }
    Xdotool(display.Name,
        { QStringLiteral("windowfocus"), QStringLiteral("--sync"),
            ChatWindow(display, program.ProcessId()) });
    QGuiApplication::clipboard()->setText(text);
    // Settled: the window up, the keyboard in it.
    Serve(
        *peer, received, [] { return false; }, 1500ms);
    received.clear();

    const qint64 id = program.ProcessId();
    const TCpu before = program.Cpu();
    figures.ResidentBefore.push_back(program.ResidentMiB());
    figures.HeapBefore.push_back(HeapMiB(id));
    const auto pressed = TClock::now();
    Xdotool(display.Name, { QStringLiteral("key"), QStringLiteral("ctrl+v") });
    const char typing = static_cast<char>(0xF9);
    if (!Serve(
            *peer, received, [&] { return received.find(typing) != std::string::npos; }, 60s)) {
        std::printf("the paste did not reach the typing pane\n");
        return false;
    }
    // Idle: the main thread ran less than 1 ms in each of ten 50 ms samples in a row.
    TCpu last = program.Cpu();
    auto busyUntil = TClock::now();
    for (int quiet = 0; quiet < 10 && TClock::now() < pressed + 120s;) {
        Serve(
            *peer, received, [] { return false; }, 50ms);
        const TCpu now = program.Cpu();
        quiet = now.Main - last.Main < 0.001 ? quiet + 1 : 0;
        if (quiet == 0)
            busyUntil = TClock::now();
        last = now;
    }
    figures.MainMs.push_back((last.Main - before.Main) * 1000.0);
    figures.WallMs.push_back(Ms(busyUntil - pressed));
    figures.ResidentAfter.push_back(program.ResidentMiB());
    figures.HeapAfter.push_back(HeapMiB(id));
    Serve(
        *peer, received, [] { return false; }, 5s);
    figures.ResidentLater.push_back(program.ResidentMiB());
    figures.HeapLater.push_back(HeapMiB(id));
    return true;
}

void Report(const char* name, std::vector<double> values, const char* unit)
{
    const TSummary summary = Summarise(std::move(values));
    std::printf("%s n=%zu median %.1f %s\n", name, summary.Count, summary.Median, unit);
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 3;
    bool oneLine = false;
    QString binary = qEnvironmentVariable("QUILLET_BENCH_PROGRAM", QStringLiteral(QUILLET_BINARY));
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--one-line") == 0)
            oneLine = true;
        else if (positional++ == 0)
            runs = std::max(1, std::atoi(argv[i]));
        else
            binary = QString::fromLocal8Bit(argv[i]);
    }
    TDisplay display;
    if (!display.Start()) {
        std::fprintf(stderr, "bench_paste: no X display free from :70 to :79\n");
        return 1;
    }
    qputenv("DISPLAY", display.Name.toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    const QString text = PastedText(oneLine);
    std::printf("bench_paste: %s; %lld characters in %s; display %s\n", qPrintable(binary),
        static_cast<long long>(text.size()), oneLine ? "one line" : "lines of 80",
        qPrintable(display.Name));
    TFigures figures;
    for (int run = 0; run < runs; ++run) {
        if (!PasteOnce(binary, display, text, figures))
            return 1;
    }
    std::printf("[paste into the IM pane]\n");
    Report("main thread", figures.MainMs, "ms");
    Report("until idle", figures.WallMs, "ms");
    Report("resident before", figures.ResidentBefore, "MiB");
    Report("resident after", figures.ResidentAfter, "MiB");
    Report("resident 5 s after", figures.ResidentLater, "MiB");
    Report("heap before", figures.HeapBefore, "MiB");
    Report("heap after", figures.HeapAfter, "MiB");
    Report("heap 5 s after", figures.HeapLater, "MiB");
    return 0;
}
