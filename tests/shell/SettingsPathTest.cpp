#include "ShellTestSupport.h"

#include "shell/SettingsPath.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace quillet {
namespace {

namespace fs = std::filesystem;

constexpr bool Installed = true;
constexpr bool NotInstalled = false;

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

    QTemporaryDir Root;
    fs::path Program;
    fs::path Config;
    fs::path Home;
};

enum class TXdgConfigHome { Absolute, Unset, Relative };
enum class TPlace { BesideTheProgram, XdgConfigHome, DotConfigInHome }; // in this order

struct TPathCase {
    const char* What;
    bool Installed;
    bool FolderWritable;
    bool FileBeside; // a settings.ini lies beside the program already
    TXdgConfigHome Xdg;
    TPlace Expected;
};

TEST_F(SettingsPathTest, TheFileLiesBesideTheProgramOrInThePerUserFolder)
{
    using enum TXdgConfigHome;
    using enum TPlace;
    constexpr bool Writable = true, ReadOnly = false;
    constexpr bool FileThere = true, NoFile = false;
    const std::vector<TPathCase> cases = {
        { "writable folder", NotInstalled, Writable, NoFile, Absolute, BesideTheProgram },
        { "a file there", NotInstalled, ReadOnly, FileThere, Absolute, BesideTheProgram },
        { "read-only folder", NotInstalled, ReadOnly, NoFile, Absolute, XdgConfigHome },
        { "XDG_CONFIG_HOME unset", NotInstalled, ReadOnly, NoFile, Unset, DotConfigInHome },
        { "XDG_CONFIG_HOME relative", NotInstalled, ReadOnly, NoFile, Relative, DotConfigInHome },
        // Root may write into /usr/bin, the owner of a home prefix into its bin folder, and a
        // settings.ini may lie there from a copy run before: none of it makes that folder the
        // place for one user's settings.
        { "installed, writable", Installed, Writable, FileThere, Absolute, XdgConfigHome },
        { "installed, read-only", Installed, ReadOnly, FileThere, Absolute, XdgConfigHome },
        { "installed, XDG_CONFIG_HOME unset", Installed, Writable, FileThere, Unset,
            DotConfigInHome },
    };
    for (std::size_t row = 0; row < cases.size(); ++row) {
        const TPathCase& c = cases[row];
        SCOPED_TRACE(c.What);
        // Each row starts from folders of its own, empty.
        const fs::path root = test::PathOf(Root) / std::to_string(row);
        const fs::path program = root / "bin";
        const fs::path config = root / "config";
        const fs::path home = root / "home";
        fs::create_directories(program);
        fs::create_directories(home);
        if (c.FileBeside)
            test::WriteWholeFile(program / "settings.ini", "[Settings]\nUser name=Everyone\n");
        const std::string xdg
            = c.Xdg == Absolute ? config.string() : (c.Xdg == Relative ? "relative/config" : "");

        const fs::path resolved = ResolveSettingsPath(program, c.Installed, xdg, home.string(),
            [&c](const fs::path&) { return c.FolderWritable; });
        const fs::path folders[] = { program, config / "quillet", home / ".config" / "quillet" };
        EXPECT_EQ(resolved, folders[static_cast<int>(c.Expected)] / "settings.ini");
        // The per-user folder in use is made, no other, and no file: that comes with a write.
        EXPECT_EQ(fs::is_directory(config / "quillet"), c.Expected == XdgConfigHome);
        EXPECT_EQ(fs::is_directory(home / ".config" / "quillet"), c.Expected == DotConfigInHome);
        EXPECT_EQ(fs::exists(resolved), c.FileBeside && c.Expected == BesideTheProgram);
    }
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
