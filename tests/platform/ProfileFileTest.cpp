#include "platform/ProfileFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet {
namespace {

namespace fs = std::filesystem;
using profile::TProfileEntry;

class ProfileFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string tmpl = (fs::temp_directory_path() / "quillet-profile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        Dir = tmpl;
        File = Dir / "settings.ini";
    }
    void TearDown() override
    {
        ::chmod(Dir.c_str(), 0755);
        fs::remove_all(Dir);
    }
    void Put(const std::string& content) const
    {
        std::ofstream(File, std::ios::binary) << content;
    }
    std::string Get() const
    {
        std::ifstream in(File, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path Dir;
    fs::path File;
};

TEST_F(ProfileFileTest, MissingFileReadsAsDefaults)
{
    EXPECT_EQ(profile::ReadString(File, "Settings", "User name", "John Doe"), "John Doe");
    EXPECT_TRUE(profile::ReadSection(File, "Users Section").empty());
    EXPECT_FALSE(profile::SectionExists(File, "Settings"));
    EXPECT_TRUE(profile::ListSections(File).empty());
    EXPECT_TRUE(profile::EraseSection(File, "Settings"));
    EXPECT_FALSE(fs::exists(File));
}

TEST_F(ProfileFileTest, LookupIgnoresCaseTrimsAndTakesTheFirst)
{
    Put("  [settings]  \n  USER NAME =  Ann Lee  \nuser name=second\n[Settings]\nUser name=third\n"
        "[Other]\nx = 1\n");
    EXPECT_EQ(profile::ReadString(File, "Settings", "User name", ""), "Ann Lee");
    EXPECT_EQ(profile::ReadString(File, "SETTINGS", " user name ", ""), "Ann Lee");
    EXPECT_EQ(profile::ReadString(File, "other", "X", ""), "1");
    EXPECT_EQ(profile::ReadString(File, "Other", "y", "none"), "none");
    EXPECT_EQ(profile::ReadString(File, "Missing", "x", "d"), "d");
}

TEST_F(ProfileFileTest, SectionEntriesComeInFileOrder)
{
    Put("[Users Section]\r\nZoe=1.2.3.4,2323,1\r\n; a comment\r\nadam = 5.6.7.8\r\nno equals\r\n"
        "Bob=\r\n[Settings]\r\nUser name=me\r\n");
    const std::vector<TProfileEntry> expected = {
        {"Zoe", "1.2.3.4,2323,1"}, {"adam", "5.6.7.8"}, {"Bob", ""}};
    EXPECT_EQ(profile::ReadSection(File, "users section"), expected);
    EXPECT_EQ(profile::ListSections(File), (std::vector<std::string>{"Users Section", "Settings"}));
}

TEST_F(ProfileFileTest, WriteCreatesFileAndSection)
{
    ASSERT_TRUE(profile::WriteString(File, "Settings", "User name", "Ann"));
    EXPECT_EQ(Get(), "[Settings]\nUser name=Ann\n");
    EXPECT_EQ(profile::ReadString(File, "Settings", "User name", ""), "Ann");
}

TEST_F(ProfileFileTest, WriteReplacesOneValueAndKeepsTheRest)
{
    Put("; top\r\n[Users Section]\r\nAnn=10.0.0.7,2323,2\r\n\r\n[Settings]\r\nuser NAME=old\r\n"
        "Other=kept\r\n");
    ASSERT_TRUE(profile::WriteString(File, "settings", "User name", "new"));
    EXPECT_EQ(Get(), "; top\r\n[Users Section]\r\nAnn=10.0.0.7,2323,2\r\n\r\n[Settings]\r\n"
                     "User name=new\r\nOther=kept\r\n");
    ASSERT_TRUE(profile::WriteString(File, "Users Section", "Bob", "1.1.1.1,2323,3"));
    EXPECT_EQ(profile::ReadSection(File, "Users Section"),
        (std::vector<TProfileEntry>{{"Ann", "10.0.0.7,2323,2"}, {"Bob", "1.1.1.1,2323,3"}}));
    EXPECT_EQ(profile::ReadString(File, "Settings", "Other", ""), "kept");
}

TEST_F(ProfileFileTest, LongValuesAreReadBackWhole)
{
    const std::string name(5000, 'n');
    ASSERT_TRUE(profile::WriteString(File, "Settings", "User name", name));
    EXPECT_EQ(profile::ReadString(File, "Settings", "User name", ""), name);
}

TEST_F(ProfileFileTest, ReplaceSectionWritesEveryEntryOnce)
{
    Put("[Settings]\nUser name=me\n[Users Section]\nold=1\n[Tail]\nt=1\n");
    const std::vector<TProfileEntry> entries = {{"Bob", "a,2323,3"}, {"bob", "b,2323,1"}};
    ASSERT_TRUE(profile::ReplaceSection(File, "Users Section", entries));
    EXPECT_EQ(profile::ReadSection(File, "Users Section"), entries);
    EXPECT_EQ(profile::ReadString(File, "Tail", "t", ""), "1");
    EXPECT_EQ(profile::ReadString(File, "Settings", "User name", ""), "me");

    ASSERT_TRUE(profile::EraseSection(File, "users section"));
    EXPECT_FALSE(profile::SectionExists(File, "Users Section"));
    EXPECT_EQ(profile::ListSections(File), (std::vector<std::string>{"Settings", "Tail"}));
}

TEST_F(ProfileFileTest, InterruptedWriteLeavesTheOldFileIntact)
{
    const std::string old = "[Settings]\nUser name=Ann\n";
    Put(old);
    const auto before = fs::last_write_time(File);
    EXPECT_FALSE(profile::WriteFileAtomically(File, std::string(4096, 'x'), 100));
    EXPECT_EQ(Get(), old);
    EXPECT_EQ(fs::last_write_time(File), before);
    // No temporary file is left behind.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(Dir))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST_F(ProfileFileTest, WriteIntoAMissingFolderFails)
{
    const fs::path blocked = Dir / "not-a-folder";
    std::ofstream(blocked) << "x";
    const fs::path file = blocked / "settings.ini";
    EXPECT_FALSE(profile::WriteString(file, "Settings", "User name", "Ann"));
    EXPECT_EQ(profile::ReadString(file, "Settings", "User name", "d"), "d");
}

TEST_F(ProfileFileTest, WriteIntoAReadOnlyFolderFailsAndKeepsTheFile)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind root";
    const std::string old = "[Settings]\nUser name=Ann\n";
    Put(old);
    ASSERT_EQ(::chmod(Dir.c_str(), 0555), 0);
    EXPECT_FALSE(profile::WriteString(File, "Settings", "User name", "Bob"));
    EXPECT_EQ(Get(), old);
}

TEST_F(ProfileFileTest, RewriteKeepsThePermissions)
{
    Put("[Settings]\n");
    ASSERT_EQ(::chmod(File.c_str(), 0600), 0);
    ASSERT_TRUE(profile::WriteString(File, "Settings", "User name", "Ann"));
    struct stat st {};
    ASSERT_EQ(::stat(File.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

} // namespace
} // namespace quillet
