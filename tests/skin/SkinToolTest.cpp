#include "skin/SkinTool.h"

#include "SkinTestData.h"
#include "skin/SkinPackageWriter.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace quillet::skin {
namespace {

namespace fs = std::filesystem;
using namespace quillet::testing;

class SkinToolTest : public ::testing::Test {
protected:
    int Run(std::vector<std::string> args)
    {
        Out.str({});
        Err.str({});
        return RunSkinTool(args, Out, Err);
    }
    static void Put(const fs::path& file, const TBytes& bytes)
    {
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
    }
    static TBytes Get(const fs::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return TBytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    std::string P(const char* name) const { return (Dir / name).string(); }

    TScratchFolder Scratch { "quillet-skin" };
    const fs::path Dir = Scratch.Path;
    std::ostringstream Out;
    std::ostringstream Err;
};

TEST_F(SkinToolTest, PackListAndExtractRoundTrip)
{
    fs::create_directories(Dir / "skin" / "subfolder");
    const TBytes bitmap = RandomBytes(5000, 1);
    Put(Dir / "skin" / "Skin.INI", BytesOf("[Skins]\r\nVersion=150\r\n"));
    Put(Dir / "skin" / "button.bmp", bitmap);
    Put(Dir / "skin" / "Zebra.bmp", {});
    Put(Dir / "skin" / "subfolder" / "not packed.bmp", { 1 });

    ASSERT_EQ(Run({ "pack", P("skin"), P("out.skin") }), 0) << Err.str();
    EXPECT_EQ(Err.str(), "");
    ASSERT_EQ(Run({ "list", P("out.skin") }), 0) << Err.str();
    // Byte order of the stored names: capitals first.
    EXPECT_EQ(Out.str(), "skin.ini\t22\nzebra.bmp\t0\nbutton.bmp\t5000\n");

    ASSERT_EQ(Run({ "extract", P("out.skin"), P("new/folder") }), 0) << Err.str();
    EXPECT_EQ(Get(Dir / "new/folder/skin.ini"), BytesOf("[Skins]\r\nVersion=150\r\n"));
    EXPECT_EQ(Get(Dir / "new/folder/button.bmp"), bitmap);
    EXPECT_TRUE(fs::is_regular_file(Dir / "new/folder/zebra.bmp"));
    EXPECT_EQ(
        std::distance(fs::directory_iterator(Dir / "new/folder"), fs::directory_iterator()), 3);

    // Packing again into a file inside the folder leaves the old package out.
    ASSERT_EQ(Run({ "pack", P("skin"), P("skin/self.skin") }), 0) << Err.str();
    ASSERT_EQ(Run({ "pack", P("skin"), P("skin/self.skin") }), 0) << Err.str();
    ASSERT_EQ(Run({ "list", P("skin/self.skin") }), 0);
    EXPECT_EQ(Out.str().find("self.skin"), std::string::npos) << Out.str();
}

TEST_F(SkinToolTest, BadInputEndsWithOneLineAndAStatus)
{
    Put(Dir / "version.skin", ContainerOf(RawPackage(19999, "a.bmp\r\n", { 1 }, "a")));
    Put(Dir / "garbage.skin", RandomBytes(300, 2));
    TBytes truncated
        = BuildSkinContainer(std::vector<TSkinPackageEntry> { { "a.bmp", RandomBytes(900, 3) } });
    truncated.resize(truncated.size() / 2);
    Put(Dir / "truncated.skin", truncated);
    Put(Dir / "escape.skin", ContainerOf(RawPackage(20000, "../escaped.bmp\r\n", { 1 }, "a")));
    Put(Dir / "slash.skin", ContainerOf(RawPackage(20000, "a/b.bmp\r\n", { 1 }, "a")));
    Put(Dir / "dots.skin", ContainerOf(RawPackage(20000, "..\r\n", { 1 }, "a")));
    Put(Dir / "twice.skin", ContainerOf(RawPackage(20000, "a.bmp\r\nA.BMP\r\n", { 1, 1 }, "ab")));
    Put(Dir / "terminal.skin", ContainerOf(RawPackage(20000, "../\x1B[2J\r\n", { 1 }, "a")));
    fs::create_directories(Dir / "linebreak");
    Put(Dir / "linebreak" / "a\nb.bmp", { 1 });
    fs::create_directories(Dir / "bitmaps only");
    Put(Dir / "bitmaps only" / "button.bmp", { 1 });
    Put(Dir / "bitmaps only" / "notes.txt", { 2 });
    fs::create_directories(Dir / "long description");
    Put(Dir / "long description" / "a.bmp", { 1 });
    Put(Dir / "long description" / "skin.ini", TBytes((std::size_t { 1 } << 20) + 1, ';'));
    fs::create_directories(Dir / "cased");
    Put(Dir / "cased" / "Button.bmp", { 1 });
    Put(Dir / "cased" / "button.BMP", { 2 });

    struct TRow {
        std::vector<std::string> Args;
        int Status;
        const char* Says;
    };
    const TRow rows[] = {
        { { "list", P("version.skin") }, 1, "package version 19999, expected 20000" },
        { { "extract", P("version.skin"), P("out") }, 1, "package version 19999" },
        { { "list", P("garbage.skin") }, 1, "not a valid skin package" },
        { { "list", P("truncated.skin") }, 1, "bytes follow, but" },
        { { "list", P("missing.skin") }, 1, "cannot open" },
        { { "list", P("cased") }, 1, "is a folder" },
        { { "extract", P("escape.skin"), P("out") }, 1,
            "\"../escaped.bmp\" cannot be a file name" },
        { { "extract", P("slash.skin"), P("out") }, 1, "cannot be a file name" },
        { { "extract", P("dots.skin"), P("out") }, 1, "cannot be a file name" },
        { { "extract", P("twice.skin"), P("out") }, 1, "two entries are called \"a.bmp\"" },
        { { "extract", P("terminal.skin"), P("out") }, 1,
            "entry name \"../\\x1B[2j\" cannot be a file name" },
        { { "pack", P("linebreak"), P("linebreak.skin") }, 1,
            "the name \"a\\x0Ab.bmp\" holds a line break" },
        { { "pack", P("cased"), P("cased.skin") }, 1,
            "differs from an earlier one only in letter case" },
        { { "pack", P("version.skin"), P("x.skin") }, 1, "not a folder" },
        { { "pack", P("bitmaps only"), P("x.skin") }, 1,
            "bitmaps only: no skin description (a file whose name contains \".ini\"), so "
            "Quillet could not use the package" },
        { { "pack", P("long description"), P("x.skin") }, 1,
            "skin.ini: the skin description is 1048577 bytes long, more than the 1048576 bytes "
            "Quillet reads" },
        { {}, 2, "no command given" },
        { { "unpack", "x" }, 2, "unknown command" },
        { { "list" }, 2, "list takes 1 argument, not 0" },
        { { "extract", "x" }, 2, "extract takes 2 arguments, not 1" },
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.Args));
        EXPECT_EQ(Run(row.Args), row.Status);
        const std::string err = Err.str();
        EXPECT_NE(err.find(row.Says), std::string::npos) << err;
        if (row.Status == 1) {
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        }
        EXPECT_EQ(Out.str(), "");
    }
    // Nothing was written by the refused commands.
    EXPECT_FALSE(fs::exists(Dir / "out"));
    EXPECT_FALSE(fs::exists(Dir / "escaped.bmp"));
    EXPECT_FALSE(fs::exists(Dir / "cased.skin"));
    EXPECT_FALSE(fs::exists(Dir / "x.skin"));
}

TEST_F(SkinToolTest, HelpExplainsTheCommands)
{
    ASSERT_EQ(Run({ "--help" }), 0);
    for (const char* part :
        { "list FILE", "extract FILE DIR", "pack DIR FILE", "20000", "Exit status" })
        EXPECT_NE(Out.str().find(part), std::string::npos) << part;
    EXPECT_EQ(Err.str(), "");
}

} // namespace
} // namespace quillet::skin
