#include "skin/TSkinPackage.h"

#include "SkinTestData.h"
#include "skin/SkinPackageWriter.h"
#include "skin/SkinText.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace quillet::skin {
namespace {

using namespace quillet::testing;

const TBytes Description = BytesOf("[Skins]\r\nVersion=150\r\n");
const TBytes Button = BytesOf("BM button pixels");
const TBytes Frame = BytesOf("BM frame pixels");

TBytes SampleContainer()
{
    const std::vector<TSkinPackageEntry> entries = { { "Skin.INI", Description },
        { "Button.BMP", Button }, { "frame.bmp", Frame }, { "empty.bmp", {} } };
    return BuildSkinContainer(entries);
}

TEST(SkinPackageTest, WrittenPackageReadsBackWithLowerCaseNames)
{
    TSkinPackage package;
    ASSERT_TRUE(package.ReadPackage(SampleContainer())) << package.FaultText();
    EXPECT_EQ(package.Fault(), TPackageFault::None);
    ASSERT_EQ(package.EntryCount(), 4u);
    const char* const names[] = { "skin.ini", "button.bmp", "frame.bmp", "empty.bmp" };
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(package.EntryName(i), names[i]);
    EXPECT_TRUE(std::ranges::equal(package.EntryBytes(2), Frame));
}

TEST(SkinPackageTest, LookupsByNameFragmentAndDescriptionValue)
{
    TSkinPackage package;
    ASSERT_TRUE(package.ReadPackage(SampleContainer()));
    struct TRow {
        const char* Value;
        TBytes ByName;
        TBytes Bitmap;
    };
    const TRow rows[] = {
        { "button.bmp", Button, Button },
        { "BUTTON.BMP", Button, Button },
        { "Frame.Bmp", Frame, Frame },
        { "skin.ini", Description, {} }, // found by name, but not a bitmap
        { "skins\\classic\\BUTTON.BMP", {}, Button },
        { "C:frame.bmp", {}, Frame },
        { "skins/frame.bmp", {}, Frame },
        { "button.png", {}, {} },
        { "button", {}, {} },
        { "skins\\", {}, {} },
        { "", {}, {} },
        { "missing.bmp", {}, {} },
        { "empty.bmp", {}, {} },
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Value);
        TBytes target { 9, 9 };
        package.EntryByName(row.Value, target);
        EXPECT_EQ(target, row.ByName);
        target = { 9, 9 };
        package.BitmapEntry(row.Value, target);
        EXPECT_EQ(target, row.Bitmap);
    }

    TBytes target;
    EXPECT_EQ(package.EntryByFragment(".ini", target), "skin.ini");
    EXPECT_EQ(target, Description);
    EXPECT_EQ(package.EntryByFragment(".BMP", target), "button.bmp");
    EXPECT_EQ(target, Button);
    EXPECT_EQ(package.EntryByFragment(".png", target), "");
    EXPECT_TRUE(target.empty());
}

TEST(SkinPackageTest, NameTableSplitsAtEveryLineBreakWithoutATrailingEmptyName)
{
    struct TRow {
        const char* Table;
        std::vector<std::string> Names;
    };
    const TRow rows[] = {
        { "A.bmp\r\nb.INI\r\nc\r\n", { "a.bmp", "b.ini", "c" } },
        { "A.bmp\r\nb.INI\r\nc", { "a.bmp", "b.ini", "c" } },
        { "A.bmp\nb.INI\rc\n", { "a.bmp", "b.ini", "c" } },
        { "a\r\n\r\nc\r\n", { "a", "", "c" } },
        { "\r\n\n\r", { "", "", "" } },
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Table);
        TSkinPackage package;
        ASSERT_TRUE(
            package.ReadPackage(ContainerOf(RawPackage(20000, row.Table, { 1, 2, 3 }, "xyyzzz"))))
            << package.FaultText();
        ASSERT_EQ(package.EntryCount(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(package.EntryName(i), row.Names[i]);
            EXPECT_EQ(text::AsText(package.EntryBytes(i)), std::string(i + 1, "xyz"[i]));
        }
    }
    TSkinPackage empty;
    EXPECT_TRUE(empty.ReadPackage(ContainerOf(RawPackage(20000, "", {}, "spare bytes"))));
    EXPECT_EQ(empty.EntryCount(), 0u);
}

TEST(SkinPackageTest, EveryNumberIsCheckedBeforeItIsUsed)
{
    const TBytes good = RawPackage(20000, "a\r\nb\r\n", { 2, 3 }, "aabbb");
    TBytes truncatedCode = ContainerOf(good);
    truncatedCode.resize(truncatedCode.size() - 2);
    truncatedCode[0] = static_cast<std::uint8_t>(truncatedCode.size() - 4);
    TBytes countTooLarge = ContainerOf(good);
    countTooLarge[0] += 1;
    TBytes countTooSmall = ContainerOf(good);
    countTooSmall[0] -= 1;
    TBytes countNegative = ContainerOf(good);
    countNegative[3] = 0x80;

    struct TRow {
        const char* Check;
        TBytes Container;
        TPackageFault Fault;
        const char* Says;
    };
    const TRow rows[] = {
        { "container without a count", { 1, 2, 3 }, TPackageFault::Damaged, "no count" },
        { "count beyond the file", countTooLarge, TPackageFault::Damaged, "bytes follow, but" },
        { "count short of the file", countTooSmall, TPackageFault::Damaged, "bytes follow, but" },
        { "negative count", countNegative, TPackageFault::Damaged,
            "count of bytes that follow is negative" },
        { "stream without an expanded size", { 2, 0, 0, 0, 1, 2 }, TPackageFault::Damaged,
            "too short to hold the expanded size" },
        { "negative expanded size", ContainerOf(good, -5), TPackageFault::Damaged,
            "expanded size is negative" },
        { "expanded size above the limit", ContainerOf(good, (64 << 20) + 1),
            TPackageFault::Damaged, "above the limit" },
        { "expanded size never reached", ContainerOf(good, 1000), TPackageFault::Damaged,
            "ends before the package's 1000 bytes" },
        { "code stream cut short", truncatedCode, TPackageFault::Damaged, "ends before" },
        { "package shorter than its header", ContainerOf(BytesOf("0123456789")),
            TPackageFault::Damaged, "16-byte header" },
        { "another version", ContainerOf(RawPackage(19999, "a\r\n", { 1 }, "a")),
            TPackageFault::WrongVersion, "package version 19999, expected 20000" },
        { "negative name table length", ContainerOf(RawPackage(20000, "a\r\n", { 1 }, "a", -3)),
            TPackageFault::Damaged, "name table's length is negative" },
        { "name table past the end", ContainerOf(RawPackage(20000, "a\r\n", { 1 }, "a", 100)),
            TPackageFault::Damaged, "name table (100 bytes) runs past" },
        { "size table past the end",
            ContainerOf(RawPackage(20000, "a\r\nb\r\nc\r\n", { 1, 1 }, "")), TPackageFault::Damaged,
            "size table of 3 entries" },
        { "more names than a package may hold",
            ContainerOf(RawPackage(20000, std::string(65537, '\n'), {}, "")),
            TPackageFault::Damaged, "holds 65537 names, more than the 65536" },
        { "negative size", ContainerOf(RawPackage(20000, "a\r\nb\r\n", { 2, -1 }, "aab")),
            TPackageFault::Damaged, "entry \"b\" has a negative size" },
        { "sizes beyond the data area",
            ContainerOf(RawPackage(20000, "a\r\nb\r\n", { 2, 0x7FFFFFFF }, "aab")),
            TPackageFault::Damaged, "entry \"b\" (2147483647 bytes) runs past" },
    };
    TSkinPackage package;
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Check);
        ASSERT_TRUE(package.ReadPackage(ContainerOf(good)));
        EXPECT_FALSE(package.ReadPackage(row.Container));
        EXPECT_EQ(package.Fault(), row.Fault);
        EXPECT_NE(package.FaultText().find(row.Says), std::string::npos) << package.FaultText();
        EXPECT_EQ(package.FaultText().find('\n'), std::string::npos);
        EXPECT_EQ(package.EntryCount(), 0u);
    }
}

TEST(SkinPackageTest, WriterRefusesNamesNoReaderCouldFindAgain)
{
    const std::vector<std::vector<TSkinPackageEntry>> refused = {
        { { "", {} } },
        { { "a\r\nb.bmp", {} } },
        { { "a\nb.bmp", {} } },
        { { "Button.bmp", {} }, { "BUTTON.BMP", {} } },
    };
    for (const auto& entries : refused)
        EXPECT_THROW(BuildSkinContainer(entries), std::invalid_argument) << entries.back().Name;
}

} // namespace
} // namespace quillet::skin
