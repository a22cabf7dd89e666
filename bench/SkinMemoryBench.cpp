// What loading a skin costs in memory and processor time, for the built-in skin and for skin
// files made to be expensive: a small package whose description expands to tens of megabytes,
// and one bitmap named by every part. Each load runs in a child process of its own, so that its
// peak resident size is its own: the child loads the skin, keeps it, reports how much its
// resident size grew ("kept"), and ends; the parent reports the child's peak resident size and
// the processor time it used.
//
// Usage: bench_skin_memory [runs]   (default 3 runs of each case, taken in turn)

#include "skin/BuiltinSkinPackage.h"
#include "skin/SkinLoader.h"
#include "skin/SkinPackageWriter.h"
#include "support/MemoryProbes.h"

#include <QBuffer>
#include <QByteArray>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace quillet;
using TBytes = std::vector<std::uint8_t>;

TBytes BitmapFile(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(qRgb(90, 140, 200));
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return { data.begin(), data.end() };
}

TBytes Text(const std::string& text)
{
    return { text.begin(), text.end() };
}

// A description of `bytes` bytes: a few sections, then short key lines.
TBytes HugeDescription(std::size_t bytes)
{
    std::string text = "[Skins]\r\nVersion=150\r\n[PushButton]\r\nImage=b.bmp\r\n[Filler]\r\n";
    text.reserve(bytes + 8);
    while (text.size() < bytes)
        text += "a=1\r\n";
    text.resize(bytes);
    return Text(text);
}

// Every part section naming the same bitmap.
TBytes SharedBitmapDescription()
{
    std::string text = "[Skins]\r\nVersion=150\r\n";
    for (const char* section : { "PushButton", "CheckBox", "RadioButton", "GroupBox", "Tabs",
             "Tab.Pane", "Scrollbar", "HorzScroll", "VertScroll", "HorzScrollThumb",
             "VertScrollThumb", "SunkEdge", "MenuItem", "MenuBackground" })
        text += std::string("[") + section + "]\r\nImage=big.bmp\r\nFrame=1\r\n";
    return Text(text);
}

void WriteFile(const std::string& path, const TBytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(
        reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

struct TCase {
    const char* Name;
    std::string File; // empty: the built-in skin
};

struct TRun {
    double PeakMb = 0;
    double KeptMb = 0;
    double CpuS = 0;
    std::string Outcome;
};

TRun LoadInChild(const TCase& c)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        std::exit(1);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        const skin::TSkinChoice choice = c.File.empty()
            ? skin::TSkinChoice {}
            : skin::TSkinChoice { skin::TSkinChoice::TKind::File, c.File };
        const std::int64_t before = quillet::testing::ResidentBytes();
        const skin::TSkinLoad load = skin::LoadSkin(choice, skin::BuiltinSkinPackage());
        std::string outcome = "no skin";
        if (load.Skin != nullptr)
            outcome = load.Package == skin::BuiltinSkinPackage() ? "built-in" : "the file's";
        if (!load.Problem.empty())
            outcome += ", with a message";
        const std::string report
            = std::to_string((quillet::testing::ResidentBytes() - before) / 1024) + " " + outcome;
        if (::write(pipeEnds[1], report.data(), report.size()) < 0)
            std::_Exit(1);
        std::_Exit(0);
    }
    ::close(pipeEnds[1]);
    std::string report;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        report.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeEnds[0]);
    int status = 0;
    rusage usage {};
    ::wait4(child, &status, 0, &usage);
    TRun run;
    run.PeakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    run.CpuS = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    const std::size_t blank = report.find(' ');
    run.KeptMb = std::atof(report.substr(0, blank).c_str()) / 1024.0;
    run.Outcome = blank == std::string::npos ? "(child failed)" : report.substr(blank + 1);
    return run;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    QTemporaryDir folder;
    const std::string hugeDescription = folder.path().toStdString() + "/huge-description.skin";
    const std::string sharedBitmap = folder.path().toStdString() + "/shared-bitmap.skin";
    // Made in a child of its own: memory the parent had freed but still held would let the
    // loading children grow without their resident size showing it.
    if (const pid_t maker = ::fork(); maker == 0) {
        const skin::TSkinPackageEntry huge[] = { { "huge.ini", HugeDescription(63u * 1024 * 1024) },
            { "b.bmp", BitmapFile({ 60, 25 }) } };
        WriteFile(hugeDescription, skin::BuildSkinContainer(huge));
        const skin::TSkinPackageEntry shared[] = { { "shared.ini", SharedBitmapDescription() },
            { "big.bmp", BitmapFile({ 2048, 2048 }) } };
        WriteFile(sharedBitmap, skin::BuildSkinContainer(shared));
        std::_Exit(0);
    } else {
        int status = 0;
        ::waitpid(maker, &status, 0);
    }
    const std::vector<TCase> cases
        = { { "built-in skin", "" }, { "63 MiB description", hugeDescription },
              { "2048x2048 bitmap x 14 parts", sharedBitmap } };
    for (const TCase& c : cases) {
        if (!c.File.empty())
            std::printf("%-28s package file %lld bytes\n", c.Name,
                static_cast<long long>(QFileInfo(QString::fromStdString(c.File)).size()));
    }

    std::vector<std::vector<TRun>> results(cases.size());
    for (int r = 0; r < runs; ++r) {
        for (std::size_t i = 0; i < cases.size(); ++i)
            results[i].push_back(LoadInChild(cases[i]));
    }
    std::printf("%-28s %12s %12s %10s  %s   (median of %d runs)\n", "case", "peak RSS MB",
        "kept MB", "cpu s", "skin used", runs);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        std::vector<double> peak, kept, cpu;
        for (const TRun& run : results[i]) {
            peak.push_back(run.PeakMb);
            kept.push_back(run.KeptMb);
            cpu.push_back(run.CpuS);
        }
        std::printf("%-28s %12.1f %12.1f %10.3f  %s\n", cases[i].Name, Median(peak), Median(kept),
            Median(cpu), results[i].back().Outcome.c_str());
    }
    return 0;
}
