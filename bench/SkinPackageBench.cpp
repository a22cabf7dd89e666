// The skin package's speed on a package like a real skin: about 300 KB of bitmaps (window frame
// pieces, buttons, scroll bar parts: gradients, flat fills, borders, magenta backgrounds, a little
// texture) and a description, all drawn here. Measures LZHUF decoding and encoding throughput
// and the time to read the package and fetch every entry the description names.

#include "skin/Lzhuf.h"
#include "skin/SkinPackageWriter.h"
#include "skin/SkinText.h"
#include "skin/TQuickIni.h"
#include "skin/TSkinPackage.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace quillet::skin;
using TBytes = std::vector<std::uint8_t>;

struct TRgb {
    std::uint8_t R, G, B;
};

// A 24-bit bottom-up Windows bitmap file.
TBytes Bitmap(int width, int height, const std::function<TRgb(int, int)>& pixel)
{
    const int stride = (width * 3 + 3) & ~3;
    const auto imageSize = static_cast<std::int32_t>(stride * height);
    TBytes b = { 'B', 'M' };
    text::AppendInt32(b, 54 + imageSize);
    text::AppendInt32(b, 0);
    text::AppendInt32(b, 54);
    text::AppendInt32(b, 40);
    text::AppendInt32(b, width);
    text::AppendInt32(b, height);
    b.insert(b.end(), { 1, 0, 24, 0 });
    text::AppendInt32(b, 0);
    text::AppendInt32(b, imageSize);
    text::AppendInt32(b, 2835);
    text::AppendInt32(b, 2835);
    text::AppendInt32(b, 0);
    text::AppendInt32(b, 0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const TRgb c = pixel(x, y);
            b.insert(b.end(), { c.B, c.G, c.R });
        }
        b.insert(b.end(), static_cast<std::size_t>(stride - width * 3), 0);
    }
    return b;
}

std::uint8_t Mix(int a, int b, int t, int range)
{
    return static_cast<std::uint8_t>(a + (b - a) * t / (range > 1 ? range - 1 : 1));
}

std::vector<TSkinPackageEntry> SampleSkin()
{
    std::mt19937 random(2024);
    std::vector<TSkinPackageEntry> entries;
    std::string description = "[Skins]\r\nVersion=150\r\n\r\n[TitlebarSkin]\r\nSkinName=Teal\r\n";
    const auto addPart = [&](const std::string& part, int width, int height, int frames,
                             int style) {
        const std::string file = part + ".bmp";
        const int border = 3 + style;
        std::uniform_int_distribution<int> grain(-4, 4);
        entries.push_back(
            { file, Bitmap(width, height, [&](int x, int y) -> TRgb {
                 const int fx = x % (width / frames);
                 const int frame = x / (width / frames);
                 if (style == 2 && (fx < 2 || y < 2))
                     return { 255, 0, 255 }; // transparent corners
                 if (fx < border || y < border || fx >= width / frames - border
                     || y >= height - border)
                     return { Mix(20, 90, y, height), Mix(80, 160, y, height),
                         Mix(90, 170, y, height) };
                 if (style == 3 || width > 100) { // a little texture
                     const int n = grain(random);
                     return { static_cast<std::uint8_t>(200 + n),
                         static_cast<std::uint8_t>(210 + n), static_cast<std::uint8_t>(205 + n) };
                 }
                 // Shading across and down, as rendered buttons have.
                 const int light = 30 * frame;
                 return { Mix(150 + light / 2, 230, y, height), Mix(170, 240, y, height),
                     static_cast<std::uint8_t>(std::min(255, 190 + light + ((x ^ y) & 1))) };
             }) });
        description += "\r\n[" + part + "]\r\nImage=" + file
            + "\r\nLeftWidth=" + std::to_string(border) + "\r\nRightWidth=" + std::to_string(border)
            + "\r\nTopHeight=" + std::to_string(border)
            + "\r\nBottomHeight=" + std::to_string(border) + "\r\nFrame=" + std::to_string(frames)
            + "\r\nTrans=" + std::to_string(style == 2 ? 1 : 0) + "\r\nTile=0\r\n"
            + "NormalColour=0x1F2F3F\r\nMouseOverColour=0x2F3F4F\r\nPressedColour=0x0F1F2F\r\n";
    };
    const char* const parts[] = { "Left", "Right", "Top", "Bottom", "Progress", "Progress.Chunk",
        "GroupBox", "Tabs", "Tab.Pane", "ToolBars", "ComboButton", "SunkEdge", "Headerbar",
        "MenuItem", "MenuBackground", "Scrollbar", "HorzScroll", "VertScroll", "HorzScrollThumb",
        "VertScrollThumb", "Trackbar.ThumbHorz", "Button0", "Button1", "Button2", "Button3",
        "Button4" };
    int i = 0;
    for (const char* part : parts) {
        const bool wide = i < 4 || i == 8;
        addPart(part, wide ? 160 : 96, wide ? 56 : 22 + i % 5 * 4, i % 4 + 1, i % 4);
        ++i;
    }
    description += "\r\n[Colours]\r\nButtonFace=200 210 205\r\nButtonShadow=20 80 90\r\n";
    entries.insert(entries.begin(), { "skin.ini", TBytes(description.begin(), description.end()) });
    return entries;
}

struct TFixture {
    TFixture()
        : Entries(SampleSkin())
        , Container(BuildSkinContainer(Entries))
    {
        for (const auto& e : Entries)
            ExpandedSize += e.Name.size() + 2 + 4 + e.Bytes.size();
        ExpandedSize += 16;
        Code.assign(Container.begin() + 8, Container.end());
        // The expanded package, as the encoder's input.
        LzhufDecode(Code, ExpandedSize, Package);
    }
    std::vector<TSkinPackageEntry> Entries;
    TBytes Container;
    TBytes Code;
    TBytes Package;
    std::size_t ExpandedSize = 0;
};

const TFixture& Skin()
{
    static const TFixture fixture;
    return fixture;
}

void SetCounters(benchmark::State& state)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Skin().ExpandedSize));
    state.counters["package_bytes"] = static_cast<double>(Skin().ExpandedSize);
    state.counters["stored_bytes"] = static_cast<double>(Skin().Container.size());
}

void BM_LzhufDecode(benchmark::State& state)
{
    TBytes out;
    for (auto _ : state) {
        LzhufDecode(Skin().Code, Skin().ExpandedSize, out);
        benchmark::DoNotOptimize(out.data());
    }
    SetCounters(state);
}
BENCHMARK(BM_LzhufDecode)->Unit(benchmark::kMillisecond);

void BM_LzhufEncode(benchmark::State& state)
{
    for (auto _ : state) {
        TBytes code = LzhufEncode(Skin().Package);
        benchmark::DoNotOptimize(code.data());
    }
    SetCounters(state);
}
BENCHMARK(BM_LzhufEncode)->Unit(benchmark::kMillisecond);

// What the engine does when it loads a skin: read the package, find and parse the description,
// fetch the bitmap of every part section; and then every entry by name once more.
void BM_ReadAndLookUpAll(benchmark::State& state)
{
    std::size_t fetched = 0;
    for (auto _ : state) {
        TSkinPackage package;
        if (!package.ReadPackage(Skin().Container))
            state.SkipWithError(package.FaultText().c_str());
        TBytes entry;
        package.EntryByFragment(".ini", entry);
        TQuickIni ini;
        ini.LoadText(text::AsText(entry));
        fetched = 0;
        for (const std::string& section : ini.SectionNames()) {
            package.BitmapEntry(ini.LookupText(section, "Image", ""), entry);
            fetched += entry.empty() ? 0 : 1;
        }
        for (std::size_t i = 0; i < package.EntryCount(); ++i) {
            package.EntryByName(package.EntryName(i), entry);
            benchmark::DoNotOptimize(entry.data());
        }
    }
    state.counters["bitmaps_fetched"] = static_cast<double>(fetched);
    SetCounters(state);
}
BENCHMARK(BM_ReadAndLookUpAll)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
