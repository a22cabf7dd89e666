// The contact store against real settings files: reading, writing back, lookup, order and the
// entries the file can hold.
#include "support/RecordPrinter.h"
#include "support/ScratchFolder.h"
#include "support/TroublesomeText.h"

#include "phonebook/ContactRules.h"
#include "phonebook/PhonebookText.h"
#include "phonebook/TPhonebook.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <unistd.h>

namespace quillet {
namespace {

namespace fs = std::filesystem;

using TUsers = std::vector<TUserRecordType>;

constexpr auto Realtime = TChatStyle::Realtime;
constexpr auto IM = TChatStyle::IM;
constexpr auto Preview = TChatStyle::IMPreview;

TChatStyle Style(int byte)
{
    return static_cast<TChatStyle>(byte);
}

std::string ReadFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const fs::path& file, const std::string& content)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
}

class PhonebookStoreTest : public ::testing::Test {
protected:
    // A copy of the program starting with this file: what its phonebook reads.
    TUsers Restart(TPhonebook::TReadReport* report = nullptr) const
    {
        TPhonebook phonebook(Settings);
        const auto found = phonebook.ReadUsers();
        if (report != nullptr)
            *report = found;
        return phonebook.UsersList;
    }

    testing::TScratchFolder Scratch { "quillet-phonebook" };
    const fs::path Folder = Scratch.Path;
    const fs::path Settings = Folder / "settings.ini";
};

// --- reading

struct TReadCase {
    const char* Section; // the entry lines of "Users Section"
    TUsers Expected;
    std::optional<std::string> Problem;
};

TEST_F(PhonebookStoreTest, ReadsEachKindOfEntry)
{
    const std::vector<TReadCase> cases = {
        { "Ann=10.0.0.7,2323,2", { { "Ann", "10.0.0.7", "2323", IM } }, {} },
        { "Ann=10.0.0.7", { { "Ann", "10.0.0.7", "2323", Preview } }, {} },
        { "Ann=10.0.0.7,5000", { { "Ann", "10.0.0.7", "5000", Preview } }, {} },
        { "Bob=", { { "Bob", "", "2323", Preview } }, {} },
        { "Ann=a,,1", { { "Ann", "a", "", Realtime } }, {} },
        { "Ann=10.0.0.7,2323,2,x\nBob=1,2,1", { { "Bob", "1", "2", Realtime } }, {} },
        // Of a number, the low 8 bits.
        { "Ann=1,2323,259", { { "Ann", "1", "2323", Preview } }, {} },
        { "Ann=1,2323,-1", { { "Ann", "1", "2323", Style(255) } }, {} },
        { "Ann=1,2323,+2", { { "Ann", "1", "2323", IM } }, {} },
        { "Ann=1,2323,0", { { "Ann", "1", "2323", Style(0) } }, {} },
        // Only the text before a second "=" is the value.
        { "Ann=10.0.0.7=x,2323,2", { { "Ann", "10.0.0.7", "2323", Preview } }, {} },
        // Not a whole number: the contact stays with style 3, reading goes on, the first such
        // field is reported once.
        { "Ann=1,2323,two\nBob=2,2323,x\nCy=3",
            { { "Ann", "1", "2323", Preview }, { "Bob", "2", "2323", Preview },
                { "Cy", "3", "2323", Preview } },
            "'two' is not a valid integer value" },
        { "Ann=1,2323,", { { "Ann", "1", "2323", Preview } }, "'' is not a valid integer value" },
        { "Ann=1,2323,99999999999", { { "Ann", "1", "2323", Preview } },
            "'99999999999' is not a valid integer value" },
        { "Ann=1,2323,+-1", { { "Ann", "1", "2323", Preview } },
            "'+-1' is not a valid integer value" },
        // Letter case makes two contacts; file order is kept; comments are no entries.
        { "bob=2\nBob=1\n; Cy=3",
            { { "bob", "2", "2323", Preview }, { "Bob", "1", "2323", Preview } }, {} },
        // A line that is no UTF-8, written by hand or carried over, is in the single-byte code
        // page: read as Windows-1252; the other lines as they are.
        { "Jos\xE9=10.0.0.5,2323,2\nZo\xC3\xAB=10.0.0.6\n\x80uro=1,2323,1",
            { { "Jos\xC3\xA9", "10.0.0.5", "2323", IM },
                { "Zo\xC3\xAB", "10.0.0.6", "2323", Preview },
                { "\xE2\x82\xACuro", "1", "2323", Realtime } },
            {} },
    };
    for (const TReadCase& c : cases) {
        SCOPED_TRACE(c.Section);
        WriteFile(Settings,
            std::string("[Settings]\nUser name=Kim\n[Users Section]\n") + c.Section + "\n");
        TPhonebook::TReadReport report;
        EXPECT_EQ(Restart(&report), c.Expected);
        EXPECT_EQ(report.ConversionError, c.Problem);
        EXPECT_EQ(report.Repaired, std::nullopt); // none of these needs mending to be saved
    }
}

TEST_F(PhonebookStoreTest, FirstRunHoldsTheDefaultContactAndWritesNothing)
{
    TPhonebook phonebook(Settings);
    EXPECT_EQ(phonebook.ReadUsers().ConversionError, std::nullopt);
    EXPECT_TRUE(phonebook.AddDefaultContact());
    EXPECT_EQ(phonebook.UsersList, (TUsers { { "Jane Doe", "127.0.0.1", "2323", Preview } }));
    EXPECT_FALSE(fs::exists(Settings));
    // A phonebook with contacts gets no default contact.
    EXPECT_FALSE(phonebook.AddDefaultContact());
    EXPECT_EQ(phonebook.UsersList.size(), 1U);
}

// --- writing back

struct TRewriteCase {
    const char* Before;
    const char* After; // the whole file after reading and saving
};

TEST_F(PhonebookStoreTest, SavingWritesEveryContactInFullAndNothingElse)
{
    const std::vector<TRewriteCase> cases = {
        { "[Users Section]\nAnn=10.0.0.7\n", "[Users Section]\nAnn=10.0.0.7,2323,3\n" },
        { "[Users Section]\nAnn=10.0.0.7,2323,2,x\nBob=1\n", "[Users Section]\nBob=1,2323,3\n" },
        { "[Users Section]\nAnn=1,2323,-1\nBob=1,2323,259\n",
            "[Users Section]\nAnn=1,2323,255\nBob=1,2323,3\n" },
        // A style that is no number costs the style, never the contact or the ones after it.
        { "[Users Section]\nAnn=1,2323,two\nBob=2\n",
            "[Users Section]\nAnn=1,2323,3\nBob=2,2323,3\n" },
        { "[Users Section]\nBob=1\nbob=2\n", "[Users Section]\nBob=1,2323,3\nbob=2,2323,3\n" },
        // Lines read in the single-byte code page are written back as UTF-8.
        { "[Users Section]\nJos\xE9=10.0.0.5,2323,2\nZo\xC3\xAB=10.0.0.6\n",
            "[Users Section]\nJos\xC3\xA9=10.0.0.5,2323,2\nZo\xC3\xAB=10.0.0.6,2323,3\n" },
        // Other sections, comments and blank lines stay byte for byte, the section keeps its place.
        { "; my settings\r\n[Settings]\r\nUser name = Kim \r\n\r\n[users section]\r\nAnn=1\r\n; "
          "old\r\n\r\n"
          "[Other]\r\nx=1,2\r\n",
            "; my settings\r\n[Settings]\r\nUser name = Kim \r\n\r\n[users "
            "section]\r\nAnn=1,2323,3\r\n\r\n"
            "[Other]\r\nx=1,2\r\n" },
        // Nothing to save: no section.
        { "[Settings]\nUser name=Kim\n[Users Section]\nAnn=1,2,3,4\n",
            "[Settings]\nUser name=Kim\n" },
    };
    for (const TRewriteCase& c : cases) {
        SCOPED_TRACE(c.Before);
        WriteFile(Settings, c.Before);
        TPhonebook phonebook(Settings);
        phonebook.ReadUsers();
        phonebook.SaveUsers();
        EXPECT_EQ(ReadFile(Settings), c.After);
    }
}

TEST_F(PhonebookStoreTest, TheFileListsAnAddedContactLastUntilTheNextSortedSave)
{
    WriteFile(Settings, "[Users Section]\nCy=3\nAnn=1\n");
    TPhonebook phonebook(Settings);
    phonebook.ReadUsers();
    phonebook.SortUsers();
    phonebook.UsersList.emplace_back("Bob", "2", "2323", IM);
    phonebook.SaveUsers();
    EXPECT_EQ(ReadFile(Settings), "[Users Section]\nAnn=1,2323,3\nCy=3,2323,3\nBob=2,2323,2\n");
    phonebook.SortUsers();
    phonebook.SaveUsers();
    EXPECT_EQ(ReadFile(Settings), "[Users Section]\nAnn=1,2323,3\nBob=2,2323,2\nCy=3,2323,3\n");
}

// --- lookup and order

TEST_F(PhonebookStoreTest, FindUserMatchesTheWholeNameByteForByte)
{
    TPhonebook phonebook(Settings);
    phonebook.UsersList = { { "Ann", "1", "2323", IM }, { "bob", "2", "2323", IM },
        { "Bob", "3", "2323", IM }, { "Ann", "4", "2323", IM } };
    const std::vector<std::pair<const char*, const char*>> cases
        = { { "Ann", "1" }, // the first of two
              { "bob", "2" }, { "Bob", "3" }, { "BOB", nullptr }, { "Ann ", nullptr },
              { " Ann", nullptr }, { "An", nullptr }, { "", nullptr } };
    for (const auto& [name, address] : cases) {
        SCOPED_TRACE(name);
        const TUserRecordType* found = phonebook.FindUser(name);
        const std::optional<std::string> got
            = found != nullptr ? std::optional(found->IPAddress) : std::nullopt;
        const std::optional<std::string> wanted
            = address != nullptr ? std::optional<std::string>(address) : std::nullopt;
        EXPECT_EQ(got, wanted);
    }
}

TEST_F(PhonebookStoreTest, ContactsSortInOrdinalOrder)
{
    TPhonebook phonebook(Settings);
    for (const char* name :
        { "adam", "\xC3\x89mile", "bob", "Zoe", "Ann Lee", "Bob", "Ann", "ann", "A&B", "" })
        phonebook.UsersList.emplace_back(name, "1", "2323", IM);
    phonebook.SortUsers();
    std::vector<std::string> names;
    for (const auto& user : phonebook.UsersList)
        names.push_back(user.Name);
    EXPECT_EQ(names,
        (std::vector<std::string> {
            "", "A&B", "Ann", "Ann Lee", "Bob", "Zoe", "adam", "ann", "bob", "\xC3\x89mile" }));
}

// --- what may join the phonebook

struct TCheckCase {
    TUserRecordType Entry;
    std::vector<std::string> Messages;
    TContactField Field = TContactField::Name; // of the first problem
};

std::vector<std::string> MessagesOf(const std::vector<TEntryProblem>& problems)
{
    std::vector<std::string> messages;
    for (const TEntryProblem& problem : problems)
        messages.push_back(problem.Message);
    return messages;
}

TEST_F(PhonebookStoreTest, EditorEntriesAreCheckedInOrder)
{
    constexpr auto Address = TContactField::IPAddress;
    constexpr auto Port = TContactField::Port;
    TPhonebook phonebook(Settings);
    phonebook.UsersList = { { "Ann", "1", "2323", IM }, { "Bob", "2", "http", IM } };
    const std::vector<TCheckCase> cases = {
        { { "Cy", "10.0.0.3", "2323", IM }, {} },
        { { "", "", "2323", IM }, { "Name can not be blank", "IP address can not be blank" } },
        { { "Cy", "", "2323", IM }, { "IP address can not be blank" }, Address },
        { { "Ann", "9", "2323", IM }, { "Name already exists. Can not add" } },
        { { "Ann", "", "2323", IM },
            { "IP address can not be blank", "Name already exists. Can not add" }, Address },
        { { "ann", "9", "2323", IM }, {} },
        { { "A=B", "9", "2323", IM }, { "Name can not contain \"=\"" } },
        { { ";Cy", "9", "2323", IM }, { "Name can not start with \";\" or \"[\"" } },
        { { "[Cy]", "9", "2323", IM }, { "Name can not start with \";\" or \"[\"" } },
        { { " [x]", "9", "2323", IM }, { "Name can not start or end with a blank" } },
        { { "Cy;[x]", "9", "2323", IM }, {} },
        { { "Cy\nDee", "9", "2323", IM },
            { "Name can not contain line breaks or other control characters" } },
        { { std::string("Cy\0x", 4), "9", "2323", IM },
            { "Name can not contain line breaks or other control characters" } },
        { { "Cy\tDee", "9", "2323", IM },
            { "Name can not contain line breaks or other control characters" } },
        { { "Jos\xE9", "9", "2323", IM },
            { "Name can not contain bytes that are not UTF-8 text" } },
        { { "Cy", "10.0.0.3,5", "2323", IM }, { "IP address can not contain \",\" or \"=\"" },
            Address },
        { { "Cy", "a=b", "2323", IM }, { "IP address can not contain \",\" or \"=\"" }, Address },
        { { "Cy", " a", "2323", IM }, { "IP address can not start with a blank" }, Address },
        { { "Cy", "a\rb", "2323", IM },
            { "IP address can not contain line breaks or other control characters" }, Address },
        { { "Cy", "9", "23,23", IM }, { "Port can not contain \",\" or \"=\"" }, Port },
        { { "Cy", "9", "2323\x7f", IM },
            { "Port can not contain line breaks or other control characters" }, Port },
        // The port is a port number.
        { { "Cy", "9", "99999x", IM }, { "Port must be a whole number from 1 to 65535" }, Port },
        { { "Cy", "9", "0", IM }, { "Port must be a whole number from 1 to 65535" }, Port },
        { { "Cy", "9", "65536", IM }, { "Port must be a whole number from 1 to 65535" }, Port },
        { { "Cy", "9", "+80", IM }, { "Port must be a whole number from 1 to 65535" }, Port },
        { { "Cy", "9", "http", IM }, { "Port must be a whole number from 1 to 65535" }, Port },
        { { "Cy", "9", "65535", IM }, {} },
        { { "\xC5\x81ukasz \xF0\x9F\x99\x82", "host.example", "1", IM }, {} },
    };
    for (const TCheckCase& c : cases) {
        SCOPED_TRACE(c.Entry.Name + " / " + c.Entry.IPAddress + " / " + c.Entry.Port);
        const std::vector<TEntryProblem> problems = phonebook.CheckEntry(c.Entry, nullptr);
        EXPECT_EQ(MessagesOf(problems), c.Messages);
        if (!problems.empty()) {
            EXPECT_EQ(problems.front().Field, c.Field);
        }
    }
    // An edit may keep its own name, and may not take another contact's; a port the contact
    // holds already stays even when it is no number.
    const TUserRecordType* ann = phonebook.FindUser("Ann");
    const TUserRecordType* bob = phonebook.FindUser("Bob");
    EXPECT_EQ(MessagesOf(phonebook.CheckEntry({ "Ann", "7", "2323", IM }, ann)),
        std::vector<std::string> {});
    EXPECT_EQ(MessagesOf(phonebook.CheckEntry({ "Bob", "7", "2323", IM }, ann)),
        std::vector<std::string> { "Name already exists. Can not add" });
    EXPECT_EQ(MessagesOf(phonebook.CheckEntry({ "Bobby", "2", "http", IM }, bob)),
        std::vector<std::string> {});
    EXPECT_EQ(MessagesOf(phonebook.CheckEntry({ "Bob", "2", "ftp", IM }, bob)),
        std::vector<std::string> { "Port must be a whole number from 1 to 65535" });
}

// What the reader accepts but could not write back as it is: the contact is kept, repaired, and
// the report names it with what was wrong.
struct TRepairCase {
    std::string Section;
    TUsers Expected;
    std::vector<std::string> Report; // lines after the first
};

TEST_F(PhonebookStoreTest, ContactsTheFileCouldNotGiveBackAreRepairedAndReported)
{
    using namespace std::string_literals;
    const std::vector<TRepairCase> cases = {
        { "Bad\0Nul=10.0.0.8,2323,1"s, { { "Bad Nul", "10.0.0.8", "2323", Realtime } },
            { "\"Bad?Nul\" is now \"Bad Nul\": the name held line breaks or other control "
              "characters, now blanks." } },
        { "Cr=10.0.0.11\r5,2323,3", { { "Cr", "10.0.0.115", "2323", Preview } },
            { "\"Cr\": the IP address held line breaks or other control characters, now left "
              "out." } },
        { "[Bracket=10.0.0.10,2323,3", { { "Bracket", "10.0.0.10", "2323", Preview } },
            { "\"[Bracket\" is now \"Bracket\": the name started with \";\" or \"[\", now left "
              "out." } },
        { "[=1\nAnn\x01=2,50\x02,2",
            { { "Unnamed", "1", "2323", Preview }, { "Ann", "2", "50", IM } },
            { "\"[\" is now \"Unnamed\": the name started with \";\" or \"[\", now left out.",
                "\"Ann?\" is now \"Ann\": the name held line breaks or other control characters, "
                "now blanks; the name started or ended with blanks, now left out; the port held "
                "line breaks or other control characters, now left out." } },
    };
    for (const TRepairCase& c : cases) {
        SCOPED_TRACE(c.Section);
        WriteFile(Settings, "[Users Section]\nFine=10.0.0.1,2323,3\n" + c.Section + "\n");
        TPhonebook phonebook(Settings);
        const TPhonebook::TReadReport report = phonebook.ReadUsers();
        TUsers expected { { "Fine", "10.0.0.1", "2323", Preview } };
        expected.insert(expected.end(), c.Expected.begin(), c.Expected.end());
        EXPECT_EQ(phonebook.UsersList, expected);
        ASSERT_TRUE(report.Repaired.has_value());
        std::vector<std::string> lines = SplitString(*report.Repaired, '\n');
        EXPECT_EQ(lines.front(),
            "Some contacts in " + Settings.string()
                + " could not have been saved as they were. They are kept, changed like this:");
        lines.erase(lines.begin());
        EXPECT_EQ(lines, c.Report);
        // Written back, the repaired phonebook reads back as it is, with nothing to report.
        phonebook.SaveUsers();
        TPhonebook again(Settings);
        EXPECT_EQ(again.ReadUsers().Repaired, std::nullopt);
        EXPECT_EQ(again.UsersList, expected);
    }
}

// A change whose save fails is undone, so the list still equals the file and the next save can
// succeed.
TEST_F(PhonebookStoreTest, AChangeWhoseSaveFailsIsUndone)
{
    WriteFile(Settings, "[Users Section]\nAnn=1,2323,3\nBob=2,2323,3\nCy=3,2323,3\n");
    TPhonebook phonebook(Settings);
    phonebook.ReadUsers();
    const TUsers before = phonebook.UsersList;
    const std::vector<std::function<void()>> changes = {
        [&] {
            phonebook.AddUser({ "Dee", "4", "2323", IM });
        },
        [&] {
            phonebook.ReplaceUser(phonebook.UsersList[0], { "Anna", "1", "2323", IM });
        },
        [&] { phonebook.DeleteUser(phonebook.UsersList[1]); },
    };
    fs::rename(Settings, Folder / "kept.ini");
    fs::create_directory(Settings); // a folder where the file should be
    for (const auto& change : changes) {
        try {
            change();
            ADD_FAILURE() << "the save did not fail";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(error.what(),
                "Unable to write to " + Settings.string() + ": it is a folder, not a file");
        }
        EXPECT_EQ(phonebook.UsersList, before);
    }
    fs::remove(Settings);
    fs::rename(Folder / "kept.ini", Settings);
    // A contact the file could not give back is refused as it comes, named, before any write.
    const std::string fileBefore = ReadFile(Settings);
    const std::vector<std::function<void()>> unstorable = {
        [&] {
            phonebook.AddUser({ "Dee", "4,5", "2323", IM });
        },
        [&] {
            phonebook.ReplaceUser(phonebook.UsersList[0], { "Dee", "4", "23\n23", IM });
        },
    };
    for (const auto& change : unstorable) {
        try {
            change();
            ADD_FAILURE() << "an unstorable contact was taken";
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find("the contact \"Dee\" cannot be stored ("),
                std::string::npos)
                << error.what();
        }
        EXPECT_EQ(phonebook.UsersList, before);
        EXPECT_EQ(ReadFile(Settings), fileBefore);
    }
    for (const auto& change : changes)
        change();
    EXPECT_EQ(Restart(), phonebook.UsersList);
}

// Another program replaces the file (as editors and sync tools save: a new file renamed over it)
// or rewrites it in place after the phonebook read it: a change is made to what the file holds
// now, never written over it; a change that no longer fits writes nothing and says so.
TEST_F(PhonebookStoreTest, AnotherProgramsChangeIsNeverWrittenOver)
{
    using TChange = std::function<void(TPhonebook&)>;
    const TChange addDee = [](TPhonebook& p) { p.AddUser({ "Dee", "4", "2323", IM }); };
    const TChange renameAnn = [](TPhonebook& p) {
        p.ReplaceUser(p.UsersList[0], { "Anna", "1", "2323", IM });
    };
    const TChange deleteBob = [](TPhonebook& p) { p.DeleteUser(p.UsersList[1]); };
    struct TCase {
        const char* What;
        TChange Change;
        const char* Theirs; // the section as the other program leaves it
        bool InPlace;
        const char* Expected; // the section afterwards; nullptr: refused, theirs kept
    };
    const std::vector<TCase> cases = {
        { "add", addDee, "Ann=1\nBob=2\nEve=5\n", false,
            "Ann=1,2323,3\nBob=2,2323,3\nEve=5,2323,3\nDee=4,2323,2\n" },
        { "add, in place", addDee, "Ann=1\nBob=2\nEve=5\n", true,
            "Ann=1,2323,3\nBob=2,2323,3\nEve=5,2323,3\nDee=4,2323,2\n" },
        { "edit", renameAnn, "Eve=5\nAnn=1\nBob=2\n", false,
            "Eve=5,2323,3\nBob=2,2323,3\nAnna=1,2323,2\n" },
        { "delete", deleteBob, "Ann=1\nBob=2\nEve=5\n", false, "Ann=1,2323,3\nEve=5,2323,3\n" },
        { "add of a name they added", addDee, "Ann=1\nBob=2\nDee=9\n", false, nullptr },
        { "edit of a contact they changed", renameAnn, "Ann=7\nBob=2\n", false, nullptr },
        { "edit of a contact they removed", renameAnn, "Bob=2\n", false, nullptr },
        { "delete of a contact they changed", deleteBob, "Ann=1\nBob=8,2323,1\n", false, nullptr },
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        WriteFile(Settings, "[Settings]\nUser name=Me\n[Users Section]\nAnn=1\nBob=2\n");
        TPhonebook phonebook(Settings);
        phonebook.ReadUsers();
        const std::string theirs
            = std::string("[Settings]\nUser name=Them\n[Users Section]\n") + c.Theirs;
        if (c.InPlace) {
            WriteFile(Settings, theirs);
        } else {
            WriteFile(Folder / "saved-by-them", theirs);
            fs::rename(Folder / "saved-by-them", Settings);
        }
        try {
            c.Change(phonebook);
            EXPECT_NE(c.Expected, nullptr) << "taken";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(c.Expected, nullptr) << error.what();
            EXPECT_NE(std::string(error.what()).find("was changed by another program meanwhile"),
                std::string::npos)
                << error.what();
        }
        EXPECT_EQ(ReadFile(Settings),
            c.Expected == nullptr
                ? theirs
                : std::string("[Settings]\nUser name=Them\n[Users Section]\n") + c.Expected);
        EXPECT_EQ(Restart(), phonebook.UsersList) << "the list is what the file holds";
    }
}

// Every contact that passes the one rule comes back from the file exactly as it is, after a
// restart, whatever characters it is made of: random entries from pieces that trouble the file
// format, all accepted ones saved side by side in one phonebook; and every contact the reader
// returns can be written back.
TEST_F(PhonebookStoreTest, EveryStorableEntryReadsBackIdentically)
{
    testing::TTroublesomeText text(20240611);
    TPhonebook phonebook(Settings);
    TUsers repaired;
    for (int i = 0; i < 20000; ++i) {
        // As the editor and the offer take them: trimmed.
        TUserRecordType entry { TrimControls(text.Next()), TrimControls(text.Next()),
            TrimControls(text.Next()), static_cast<TChatStyle>(1 + text.Below(3)) };
        if (!StorageProblem(entry)) {
            phonebook.UsersList.push_back(std::move(entry));
        } else {
            EXPECT_FALSE(RepairForStorage(entry).empty());
            EXPECT_EQ(StorageProblem(entry), std::nullopt) << entry.Name;
            repaired.push_back(std::move(entry));
        }
    }
    // The generator must reach accepted entries often enough for this to say something.
    ASSERT_GT(phonebook.UsersList.size(), 1000U);
    ASSERT_GT(repaired.size(), 1000U);
    phonebook.UsersList.insert(phonebook.UsersList.end(), repaired.begin(), repaired.end());
    phonebook.SaveUsers();
    const TUsers readBack = Restart();
    ASSERT_EQ(readBack.size(), phonebook.UsersList.size());
    for (std::size_t i = 0; i < readBack.size(); ++i) {
        const TUserRecordType& entry = phonebook.UsersList[i];
        ASSERT_EQ(readBack[i], entry) << "name [" << entry.Name << "] address [" << entry.IPAddress
                                      << "] port [" << entry.Port << "]";
    }
}

} // namespace
} // namespace quillet
