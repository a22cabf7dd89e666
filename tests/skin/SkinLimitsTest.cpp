// What a skin may cost: the size of its description, the pixels of its bitmaps, and bitmaps
// shared between parts, with packages made to be expensive.

#include "SkinTestSupport.h"

#include "skin/BuiltinSkinPackage.h"
#include "skin/SkinLoader.h"
#include "skin/SkinPackageWriter.h"
#include "support/MemoryProbes.h"
#include "support/ScratchFolder.h"

#include <QByteArray>
#include <QImage>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace quillet::skin {
namespace {

using Bytes = std::vector<std::uint8_t>;
using quillet::testing::TScratchFolder;
using testing::BitmapFile;

constexpr std::int64_t MiB = 1024 * 1024;

// A description whose part sections name `images` in turn (the first part the first image, and
// so on, round again when the parts outnumber them), padded with comment lines to `size` bytes
// when that is larger.
Bytes Description(const std::vector<std::string>& images, std::size_t size = 0)
{
    std::string text = "[Skins]\r\nVersion=150\r\n[TitlebarSkin]\r\nSkinName=Costly\r\n";
    for (std::size_t i = 0; i < SkinPartCount; ++i) {
        text += "[" + std::string(SkinPartSections[i]) + "]\r\nImage=" + images[i % images.size()]
            + "\r\n";
    }
    if (text.size() + 3 <= size)
        text += std::string(size - text.size() - 2, ';') + "\r\n";
    text.resize(std::max(size, text.size()), ' ');
    return { text.begin(), text.end() };
}

QByteArray Container(const std::vector<TSkinPackageEntry>& entries)
{
    const Bytes stored = BuildSkinContainer(entries);
    return { reinterpret_cast<const char*>(stored.data()), static_cast<qsizetype>(stored.size()) };
}

class SkinLimitsTest : public ::testing::Test {
protected:
    // The package as the chosen skin file, loaded with `limits`.
    TSkinLoad Load(const QByteArray& package, const TSkinLimits& limits = {})
    {
        const std::filesystem::path path = Folder.Path / "costly.skin";
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(package.constData(), package.size());
        File = path;
        return LoadSkin({ TSkinChoice::TKind::File, path }, BuiltIn, limits);
    }
    std::string TooLarge(const std::string& reason) const
    {
        return "The skin file \"" + File.string() + "\" is too large to use: " + reason
            + ". Quillet uses its built-in skin instead.";
    }

    TScratchFolder Folder { "quillet-skin-limits" };
    std::filesystem::path File;
    QByteArray BuiltIn = BuiltinSkinPackage();
};

TEST_F(SkinLimitsTest, ASkinOverALimitGetsOneMessageAndTheBuiltInSkin)
{
    const TSkinLimits small { 4096, 30000 };
    const Bytes red = BitmapFile({ 100, 100 }, qRgb(200, 0, 0));
    const Bytes green = BitmapFile({ 100, 100 }, qRgb(0, 200, 0));
    const Bytes blue = BitmapFile({ 100, 100 }, qRgb(0, 0, 200));
    const Bytes dot = BitmapFile({ 1, 1 }, qRgb(9, 9, 9));
    const std::vector<std::string> three = { "red.bmp", "green.bmp", "blue.bmp" };
    const std::vector<std::string> four = { "red.bmp", "green.bmp", "blue.bmp", "dot.bmp" };
    const std::string pixels
        = "its bitmaps hold more than the 30000 pixels Quillet decodes for a skin";
    struct {
        const char* Name;
        std::vector<TSkinPackageEntry> Entries;
        std::string Problem; // empty: the file's skin is used
    } rows[] = {
        { "description at the limit", { { "a.ini", Description(three, 4096) } }, "" },
        { "description one byte over", { { "a.ini", Description(three, 4097) } },
            "its skin description is 4097 bytes long, more than the 4096 bytes Quillet reads" },
        { "pixels at the limit",
            { { "a.ini", Description(three) }, { "red.bmp", red }, { "green.bmp", green },
                { "blue.bmp", blue } },
            "" },
        { "one pixel over",
            { { "a.ini", Description(four) }, { "red.bmp", red }, { "green.bmp", green },
                { "blue.bmp", blue }, { "dot.bmp", dot } },
            pixels },
        // Named fourteen times under other spellings, one entry counts once.
        { "one entry named by every part",
            { { "a.ini", Description({ "red.bmp", "RED.BMP", "skins\\red.bmp", "x/Red.Bmp" }) },
                { "red.bmp", red } },
            "" },
        // Bitmaps that are missing or do not decode cost nothing.
        { "entries that are no bitmaps",
            { { "a.ini",
                  Description({ "red.bmp", "gone.bmp", "junk.bmp", "green.bmp", "blue.bmp" }) },
                { "red.bmp", red }, { "junk.bmp", Bytes(100000, 'B') }, { "green.bmp", green },
                { "blue.bmp", blue } },
            "" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        const QByteArray package = Container(row.Entries);
        const TSkinLoad load = Load(package, small);
        ASSERT_NE(load.Skin, nullptr);
        if (row.Problem.empty()) {
            EXPECT_EQ(load.Skin->Name, "Costly");
            EXPECT_EQ(load.Package, package);
            EXPECT_EQ(load.Problem, "");
        } else {
            EXPECT_EQ(load.Skin->Name, "Quillet");
            EXPECT_EQ(load.Package, BuiltIn);
            EXPECT_EQ(load.Problem, TooLarge(row.Problem));
        }
    }
}

TEST_F(SkinLimitsTest, OneBitmapNamedByEveryPartIsDecodedOnceAndShared)
{
    // 4 MiB decoded: fourteen copies would hold 56 MiB.
    const QByteArray package = Container(
        { { "a.ini", Description({ "big.bmp", "BIG.BMP", "folder\\big.bmp", "Big.bmp" }) },
            { "big.bmp", BitmapFile({ 1024, 1024 }, qRgb(10, 120, 200)) } });
    quillet::testing::TrimHeap();
    const std::int64_t before = quillet::testing::HeapInUse();
    const TSkinLoad load = Load(package);
    quillet::testing::TrimHeap();
    const std::int64_t kept = quillet::testing::HeapInUse() - before;

    ASSERT_NE(load.Skin, nullptr);
    ASSERT_EQ(load.Skin->Name, "Costly") << load.Problem;
    const QImage& first = load.Skin->Part(TSkinPartKind::PushButton).Image;
    ASSERT_EQ(first.size(), QSize(1024, 1024));
    for (std::size_t i = 0; i < SkinPartCount; ++i) {
        const QImage& image = load.Skin->Part(static_cast<TSkinPartKind>(i)).Image;
        EXPECT_EQ(image.constBits(), first.constBits()) << SkinPartSections[i];
    }
    EXPECT_LT(kept, 8 * MiB) << "the skin keeps one decoded bitmap";
}

TEST_F(SkinLimitsTest, AHugeDescriptionIsRefusedWithoutBeingRead)
{
    // Short lines: the kind of description that costs the most once split into lines.
    std::string text = "[Skins]\r\nVersion=150\r\n[Filler]\r\n";
    while (text.size() < 4 * MiB)
        text += "a=1\r\n";
    const QByteArray package = Container({ { "huge.ini", Bytes(text.begin(), text.end()) },
        { "b.bmp", BitmapFile({ 30, 20 }, qRgb(1, 2, 3)) } });
    if (!quillet::testing::ResetPeakResident())
        GTEST_SKIP() << "the peak resident size cannot be reset here";
    const std::int64_t before = quillet::testing::ResidentBytes();
    const TSkinLoad load = Load(package);
    const std::int64_t peak = quillet::testing::PeakResidentBytes() - before;

    ASSERT_NE(load.Skin, nullptr);
    EXPECT_EQ(load.Skin->Name, "Quillet");
    EXPECT_EQ(load.Problem,
        TooLarge("its skin description is " + std::to_string(text.size())
            + " bytes long, more than the 1048576 bytes Quillet reads"));
    // The expanded package itself is 4 MiB; its lines would have taken tens of megabytes.
    EXPECT_LT(peak, 16 * MiB);
}

} // namespace
} // namespace quillet::skin
