#include "ShellTestSupport.h"

#include "shell/SettingsPath.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace quillet {
namespace {

namespace fs = std::filesystem;

class SettingsPathTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Root.isValid());
        Program = test::PathOf(Root) / "bin";
        Config = test::PathOf(Root) / "config";
        Home = test::PathOf(Root) / "home";
        fs::create_directories(Program);
        fs::create_directories(Home);
    }

    static constexpr bool NotInstalled = false;
    static constexpr bool Installed = true;
    static bool Writable(const fs::path&) { return true; }
    static bool ReadOnly(const fs::path&) { return false; }

    QTemporaryDir Root;
    fs::path Program;
    fs::path Config;
    fs::path Home;
};

TEST_F(SettingsPathTest, BesideTheProgramWhenItsFolderIsWritable)
{
    EXPECT_EQ(ResolveSettingsPath(Program, NotInstalled, Config.string(), Home.string(), Writable),
        Program / "settings.ini");
    EXPECT_FALSE(fs::exists(Config));
}

TEST_F(SettingsPathTest, BesideTheProgramWhenAFileIsThereEvenIfTheFolderIsReadOnly)
{
    test::WriteWholeFile(Program / "settings.ini", "[Settings]\n");
    EXPECT_EQ(ResolveSettingsPath(Program, NotInstalled, Config.string(), Home.string(), ReadOnly),
        Program / "settings.ini");
    EXPECT_FALSE(fs::exists(Config));
}

TEST_F(SettingsPathTest, ReadOnlyProgramFolderFallsBackToXdgConfigHomeAndCreatesIt)
{
    const fs::path resolved
        = ResolveSettingsPath(Program, NotInstalled, Config.string(), Home.string(), ReadOnly);
    EXPECT_EQ(resolved, Config / "quillet" / "settings.ini");
    EXPECT_TRUE(fs::is_directory(Config / "quillet"));
    EXPECT_FALSE(fs::exists(resolved)); // the folder is made, the file only by a write
}

TEST_F(SettingsPathTest, AnInstalledProgramNeverKeepsItsSettingsBesideItself)
{
    // Root may write into /usr/bin, the owner of a home prefix into its bin folder, and a
    // settings.ini may lie there from a copy run before: none of it makes that folder the place
    // for one user's settings.
    test::WriteWholeFile(Program / "settings.ini", "[Settings]\nUser name=Everyone\n");
    for (const auto& folderWritable : { Writable, ReadOnly }) {
        EXPECT_EQ(
            ResolveSettingsPath(Program, Installed, Config.string(), Home.string(), folderWritable),
            Config / "quillet" / "settings.ini");
    }
    EXPECT_EQ(ResolveSettingsPath(Program, Installed, "", Home.string(), Writable),
        Home / ".config" / "quillet" / "settings.ini");
}

TEST_F(SettingsPathTest, UnsetOrRelativeXdgConfigHomeMeansDotConfigInHome)
{
    EXPECT_EQ(ResolveSettingsPath(Program, NotInstalled, "", Home.string(), ReadOnly),
        Home / ".config" / "quillet" / "settings.ini");
    EXPECT_EQ(
        ResolveSettingsPath(Program, NotInstalled, "relative/config", Home.string(), ReadOnly),
        Home / ".config" / "quillet" / "settings.ini");
    EXPECT_TRUE(fs::is_directory(Home / ".config" / "quillet"));
}

TEST_F(SettingsPathTest, FolderWritabilityIsThatOfTheCurrentUser)
{
    EXPECT_TRUE(IsFolderWritable(Program));
    EXPECT_FALSE(IsFolderWritable(Program / "missing"));
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write into any folder";
    ::chmod(Program.c_str(), 0555);
    EXPECT_FALSE(IsFolderWritable(Program));
    EXPECT_EQ(ResolveSettingsPath(
                  Program, NotInstalled, Config.string(), Home.string(), IsFolderWritable),
        Config / "quillet" / "settings.ini");
    ::chmod(Program.c_str(), 0755);
}

} // namespace
} // namespace quillet
