#include "platform/ProfileFile.h"

#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace quillet {
namespace {

namespace fs = std::filesystem;
using profile::TProfileEntry;

class ProfileFileTest : public ::testing::Test {
protected:
    // A test may close the folder to writing; the scratch folder removes it afterwards.
    void TearDown() override { ::chmod(Dir.c_str(), 0755); }
    void Put(const std::string& content) const { std::ofstream(File, std::ios::binary) << content; }
    std::string Get() const
    {
        std::ifstream in(File, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    quillet::testing::TScratchFolder Scratch { "quillet-profile" };
    const fs::path Dir = Scratch.Path;
    const fs::path File = Dir / "settings.ini";
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

    // A section name is matched trimmed, as it is read: a write does not add a second section
    // that no read would ever reach.
    EXPECT_EQ(profile::ReadString(File, " Other ", "x", ""), "1");
    ASSERT_TRUE(profile::WriteString(File, " Other ", "x", "2"));
    EXPECT_EQ(profile::ReadString(File, "Other", "x", ""), "2");
    EXPECT_EQ(profile::ListSections(File).size(), 3u);
}

// A single value is read from the lines up to the end of its section only; it must be what the
// reader of whole sections finds there (the first entry of the key in the first section).
TEST_F(ProfileFileTest, AValueIsWhatTheSectionReaderFinds)
{
    const struct {
        const char* What;
        std::string Content;
        std::string Expected; // "-": not found
    } rows[] = {
        { "a byte order mark", "\xEF\xBB\xBF[Settings]\nUser name=Ann\n", "Ann" },
        { "CR LF", "[Settings]\r\nUser name=Ann\r\n[Users Section]\r\nB=1\r\n", "Ann" },
        { "a Windows-1252 line", "[Settings]\nUser name=Jos\xE9\n", "Jos\xC3\xA9" },
        { "a Windows-1252 line before", "[Users Section]\nJos\xE9=1\n[Settings]\nUser name=B\n",
            "B" },
        { "only in a second section", "[Settings]\nx=1\n[Settings]\nUser name=C\n", "-" },
        { "no line end at the end", "[Settings]\nUser name=D", "D" },
        { "a section header with blanks", "  [ settings ]  \n USER NAME = E \n", "E" },
        { "no such section", "[Users Section]\nUser name=F\n", "-" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.What);
        Put(row.Content);
        std::string found = "-";
        for (const TProfileEntry& entry : profile::ReadSection(File, "Settings")) {
            if (entry.Key == "User name" || entry.Key == "USER NAME") {
                found = entry.Value;
                break;
            }
        }
        EXPECT_EQ(found, row.Expected);
        EXPECT_EQ(profile::ReadString(File, "Settings", "User name", "-"), row.Expected);
    }
}

TEST_F(ProfileFileTest, SectionEntriesComeInFileOrder)
{
    Put("[Users Section]\r\nZoe=1.2.3.4,2323,1\r\n; a comment\r\nadam = 5.6.7.8\r\nno equals\r\n"
        "Bob=\r\n[Settings]\r\nUser name=me\r\n");
    const std::vector<TProfileEntry> expected
        = { { "Zoe", "1.2.3.4,2323,1" }, { "adam", "5.6.7.8" }, { "Bob", "" } };
    EXPECT_EQ(profile::ReadSection(File, "users section"), expected);
    EXPECT_EQ(
        profile::ListSections(File), (std::vector<std::string> { "Users Section", "Settings" }));
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
    EXPECT_EQ(Get(),
        "; top\r\n[Users Section]\r\nAnn=10.0.0.7,2323,2\r\n\r\n[Settings]\r\n"
        "User name=new\r\nOther=kept\r\n");
    ASSERT_TRUE(profile::WriteString(File, "Users Section", "Bob", "1.1.1.1,2323,3"));
    EXPECT_EQ(profile::ReadSection(File, "Users Section"),
        (std::vector<TProfileEntry> { { "Ann", "10.0.0.7,2323,2" }, { "Bob", "1.1.1.1,2323,3" } }));
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
    const std::vector<TProfileEntry> entries = { { "Bob", "a,2323,3" }, { "bob", "b,2323,1" } };
    ASSERT_TRUE(profile::ReplaceSection(File, "Users Section", entries));
    EXPECT_EQ(profile::ReadSection(File, "Users Section"), entries);
    EXPECT_EQ(profile::ReadString(File, "Tail", "t", ""), "1");
    EXPECT_EQ(profile::ReadString(File, "Settings", "User name", ""), "me");

    ASSERT_TRUE(profile::EraseSection(File, "users section"));
    EXPECT_FALSE(profile::SectionExists(File, "Users Section"));
    EXPECT_EQ(profile::ListSections(File), (std::vector<std::string> { "Settings", "Tail" }));
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

// Runs `write` as a user who may change the file but not its folder: the folder is made
// read-only, and root (whom permissions do not bind) hands the file to "nobody" and writes from
// a child process running as that user. True when `write` succeeded.
bool WriteWithFolderReadOnly(const fs::path& dir, const fs::path& file, bool fileWritable,
    const std::function<bool()>& write)
{
    ::chmod(file.c_str(), fileWritable ? 0644 : 0444);
    ::chmod(dir.c_str(), 0555);
    if (::geteuid() != 0)
        return write();
    constexpr uid_t Nobody = 65534;
    if (::chown(file.c_str(), Nobody, Nobody) != 0)
        return false;
    const pid_t child = ::fork();
    if (child == 0) {
        const bool dropped = ::setgid(Nobody) == 0 && ::setuid(Nobody) == 0;
        ::_exit(dropped && write() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(ProfileFileTest, AWritableFileInAReadOnlyFolderIsRewrittenInPlace)
{
    Put("[Settings]\nUser name=Ann\nOther=kept\n");
    const bool written = WriteWithFolderReadOnly(Dir, File, true,
        [this] { return profile::WriteString(File, "Settings", "User name", "Bob"); });
    EXPECT_TRUE(written);
    EXPECT_EQ(Get(), "[Settings]\nUser name=Bob\nOther=kept\n");
}

TEST_F(ProfileFileTest, WhenNothingCanBeWrittenTheWriteFailsAndKeepsTheFile)
{
    const std::string old = "[Settings]\nUser name=Ann\n";
    Put(old);
    const bool written = WriteWithFolderReadOnly(Dir, File, false,
        [this] { return profile::WriteString(File, "Settings", "User name", "Bob"); });
    EXPECT_FALSE(written);
    EXPECT_EQ(Get(), old);
}

TEST_F(ProfileFileTest, ASymlinkedFileIsWrittenThroughToItsTarget)
{
    const fs::path real = Dir / "elsewhere" / "real.ini";
    fs::create_directory(real.parent_path());
    std::ofstream(real) << "[Settings]\nUser name=Ann\n";
    fs::create_symlink(fs::path("elsewhere") / "real.ini", File);
    ASSERT_TRUE(profile::WriteString(File, "Settings", "User name", "Bob"));
    EXPECT_TRUE(fs::is_symlink(File));
    EXPECT_EQ(profile::ReadString(real, "Settings", "User name", ""), "Bob");
}

// Text that would end a line or start a section or comment cannot be stored as one value: it
// would let a name inject keys and sections into the file.
TEST_F(ProfileFileTest, TextThatWouldBreakTheLineStructureIsRefusedAndNothingIsWritten)
{
    const std::string old = "[Settings]\nUser name=Ann\n";
    struct TRow {
        std::string Section;
        std::string Key;
        std::string Value;
    };
    using namespace std::string_literals;
    const std::vector<TRow> rows = {
        { "Settings", "User name", "Eve\n[Users Section]\nMallory=10.0.0.9" },
        { "Settings", "User name", "Eve\rx" },
        { "Settings", "User name", "Eve\0x"s },
        { "Settings", "User\nname", "Eve" },
        { "Settings", "Mallory=10.0.0.9", "x" },
        { "Settings", "[Users Section]", "x" },
        { "Settings", "  ;comment", "x" },
        { "Settings", "k\0"s, "x" },
        { "Sett\nings", "User name", "Eve" },
        { "Settings]x", "User name", "Eve" },
        { "Settings\0"s, "User name", "Eve" },
    };
    for (const TRow& row : rows) {
        Put(old);
        EXPECT_FALSE(profile::WriteString(File, row.Section, row.Key, row.Value))
            << row.Section << " / " << row.Key << " / " << row.Value;
        EXPECT_FALSE(profile::ReplaceSection(File, row.Section, { { row.Key, row.Value } }));
        EXPECT_EQ(Get(), old);
    }
    EXPECT_FALSE(profile::EraseSection(File, "Settings\n"));
    EXPECT_EQ(Get(), old);
}

TEST_F(ProfileFileTest, RewriteKeepsThePermissions)
{
    Put("[Settings]\n");
    ASSERT_EQ(::chmod(File.c_str(), 0600), 0);
    ASSERT_TRUE(profile::WriteString(File, "Settings", "User name", "Ann"));
    struct stat st { };
    ASSERT_EQ(::stat(File.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// Anything but a regular file of a sensible size is neither read (a named pipe would block the
// start, a link to a device would fill the memory) nor written over, and what is wrong is said.
TEST_F(ProfileFileTest, APathThatIsNoRegularFileIsNeitherReadNorWrittenOver)
{
    struct TRow {
        const char* What;
        std::function<void()> Make;
        const char* Problem;
    };
    const std::vector<TRow> rows = {
        { "named pipe", [this] { ASSERT_EQ(::mkfifo(File.c_str(), 0600), 0); },
            "it is a named pipe, not a file" },
        { "device", [this] { fs::create_symlink("/dev/zero", File); },
            "it is a device, not a file" },
        { "folder", [this] { fs::create_directory(File); }, "it is a folder, not a file" },
        { "far too large",
            [this] {
                Put("[Settings]\nUser name=Big\n");
                fs::resize_file(File, profile::MaxFileSize + 1); // sparse: no disk taken
            },
            "it is larger than 64 MiB, far larger than any settings file" },
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.What);
        fs::remove_all(File);
        row.Make();
        const auto before = fs::symlink_status(File).type();
        EXPECT_EQ(profile::FileProblem(File), row.Problem);
        EXPECT_EQ(profile::ReadString(File, "Settings", "User name", "none"), "none");
        EXPECT_TRUE(profile::ReadSection(File, "Settings").empty());
        EXPECT_FALSE(profile::WriteString(File, "Settings", "User name", "Ann"));
        EXPECT_FALSE(profile::ReplaceSection(File, "Users Section", { { "Ann", "1,2323,3" } }));
        EXPECT_FALSE(profile::WriteFileAtomically(File, "[Settings]\n"));
        EXPECT_EQ(profile::WriteFailureText(File),
            "Unable to write to " + File.string() + ": " + row.Problem);
        EXPECT_EQ(fs::symlink_status(File).type(), before);
        EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 1);
    }
    fs::remove_all(File);
    EXPECT_EQ(profile::FileProblem(File), std::nullopt); // a missing file is a new one
}

// A save killed half-way leaves the old file or the new one, never a mixture; the temporary file
// it leaves is removed at the next start, and nothing else is.
TEST_F(ProfileFileTest, AKillDuringASaveLeavesAWholeFileAndATemporaryRemovedAtStart)
{
    // Three generations, large enough that a save takes a while.
    std::vector<std::string> generations;
    for (int g = 0; g < 3; ++g) {
        std::string content = "[Settings]\nUser name=" + std::to_string(g) + "\n[Users Section]\n";
        for (int i = 0; i < 40000; ++i)
            content
                += "Contact " + std::to_string(i) + "=10.0." + std::to_string(g) + ".1,2323,3\n";
        generations.push_back(std::move(content));
    }
    Put(generations[0]);
    std::ofstream(Dir / "settings.ini.bak") << "kept";
    std::ofstream(Dir / "settings.ini.12345") << "kept";
    const auto temporaries = [this] {
        std::size_t n = 0;
        for (const auto& entry : fs::directory_iterator(Dir)) {
            const std::string name = entry.path().filename().string();
            n += name.size() == 19 && name.rfind("settings.ini.", 0) == 0
                && name != "settings.ini.12345";
        }
        return n;
    };
    std::size_t leftOver = 0;
    for (int kill = 0; kill < 5; ++kill) {
        const pid_t child = ::fork();
        if (child == 0) {
            for (std::size_t g = 1;; g = 3 - g)
                profile::WriteFileAtomically(File, generations[g]);
        }
        ASSERT_GT(child, 0);
        // Killed while a save is under way: once its temporary file is there.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (temporaries() == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        const std::string now = Get();
        EXPECT_TRUE(now == generations[0] || now == generations[1] || now == generations[2])
            << "a torn file of " << now.size() << " bytes";
        const std::size_t left = temporaries();
        leftOver += left;
        EXPECT_EQ(profile::RemoveStaleTemporaries(File), left);
        EXPECT_EQ(temporaries(), 0U);
    }
    EXPECT_GT(leftOver, 0U); // the kills did land in the middle of saves
    EXPECT_TRUE(fs::exists(Dir / "settings.ini.bak"));
    EXPECT_TRUE(fs::exists(Dir / "settings.ini.12345"));
}

} // namespace
} // namespace quillet
