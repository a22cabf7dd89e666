#pragma once

#include "phonebook/ContactRules.h"
#include "phonebook/TUserRecordType.h"
#include "platform/ProfileFile.h"
#include "settings/Settings.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// The phonebook: the contacts in memory (`UsersList`) and their section of settings.ini.
//
// File format, section "Users Section", one entry per contact:
//     Name=IPAddress,Port,Style          e.g.  Ann=10.0.0.7,2323,2
// Style is the decimal text of the byte. Reading also takes "Name=IPAddress" (port 2323, style
// 3) and "Name=IPAddress,Port" (style 3); an entry with more than three fields is skipped. The
// profile reader trims keys and values and treats a line starting with ';' as a comment and a
// "[...]" line as a section, so what a name or field may hold is limited (StorageProblem).
//
// The list is read at start and the whole section is rewritten after every change. Its order is
// the one of the last SortUsers, with contacts added since then at the end; the file is written
// in that order. Another program (an editor, a second installation, a sync tool) may change the
// file meanwhile: a change is never written over that. The file's stamp is kept from the last
// read or write; a change finds the file changed since (FollowFile), reads it anew and applies
// itself to what is there now, or, where it no longer fits, refuses and says so. Invariant: every
// contact in UsersList passes StorageProblem, and apart from the built-in contact of an empty
// phonebook the list holds what the file read back would give (a change whose save fails is
// undone), so one failure never blocks a later save.
class TPhonebook {
public:
    // The port every copy answers on: a contact's port when none is given.
    static constexpr std::string_view DefaultPort = settings::DefaultPortText;
    // The contact an empty phonebook starts with: this very copy of the program, so that a first
    // Dial shows both ends of a conversation without a second computer.
    static const TUserRecordType DefaultContact;

    explicit TPhonebook(std::filesystem::path settingsFile);

    // What reading the file found to complain about.
    struct TReadReport {
        // The first style field that is not a whole number ("'two' is not a valid integer
        // value").
        std::optional<std::string> ConversionError;
        // The contacts the file could not have given back as they were (a NUL in a name, a name
        // starting with "["), each named with what was wrong and how it was repaired.
        std::optional<std::string> Repaired;
    };

    // Replaces UsersList by the contacts stored in the file. A style field that is not a whole
    // number does not stop the reading: the contact is kept with style 3. Of a number, the low
    // 8 bits are the style (259 is 3, -1 is 255). A contact that fails StorageProblem is kept,
    // repaired (RepairForStorage); the file is not written here.
    TReadReport ReadUsers();

    // Reads UsersList anew when the file was changed since this phonebook last read or wrote it
    // and can be read now; true when it did (records of UsersList held before are gone then). A
    // file that went missing or became unreadable is not followed: what the list holds is kept
    // for the next save.
    bool FollowFile();

    // Rewrites the section from UsersList in one atomic write (an empty list removes it). Every
    // entry is written, also names that differ only in letter case. Throws std::runtime_error
    // "Unable to write to <path>" (with the reason when the path is no usable file) when the
    // file cannot be written; it is then left as it was.
    void SaveUsers() const;

    // The changes of the phonebook: each changes UsersList and saves it; when the save fails,
    // UsersList is put back as it was before (order included) and the failure passed on.
    // AddUser appends; ReplaceUser takes `old` (one of UsersList's own records) out and
    // appends `updated`; DeleteUser takes `user` out. Each follows the file first: when another
    // program changed it, the change is made to what it holds now; when that no longer holds
    // the contact as it was (or, for AddUser, already has one of that name), nothing is written
    // and std::runtime_error says so (ChangedMeanwhileText). A contact coming in that the file
    // could not give back (StorageProblem) is refused before anything changes: std::runtime_error
    // "Unable to write to <path>: the contact \"<name>\" cannot be stored (<problem>)".
    void AddUser(TUserRecordType contact);
    void ReplaceUser(const TUserRecordType& old, TUserRecordType updated);
    void DeleteUser(const TUserRecordType& user);

    // The first contact whose name is exactly `name` (same bytes, letter case included), or null.
    // Valid until UsersList changes.
    TUserRecordType* FindUser(std::string_view name);
    const TUserRecordType* FindUser(std::string_view name) const;

    // Sorts UsersList with CompareUserNames.
    void SortUsers();

    // Adds DefaultContact when the list is empty; true when it did.
    bool AddDefaultContact();

    // The problems of an entry from the contact editor, in the order they are shown; none when
    // the entry may join the phonebook. Name and address must not be blank, the name must not be
    // another contact's (`replacing` is the contact an edit replaces, whose own name is no
    // clash), the entry must read back from the file exactly as it is (StorageProblem), and the
    // port must be a port number (PortProblem) unless it is the one the edited contact holds.
    std::vector<TEntryProblem> CheckEntry(
        const TUserRecordType& entry, const TUserRecordType* replacing) const;

    const std::filesystem::path& SettingsFile() const { return Settings; }
    // "<path> was changed by another program meanwhile. Nothing was saved of \"<name>\"."
    std::string ChangedMeanwhileText(std::string_view name) const;

    std::vector<TUserRecordType> UsersList;

private:
    // Index of one of UsersList's own records.
    std::size_t IndexOf(const TUserRecordType& record) const;
    // SaveUsers; on a failure `undo` runs before the failure is passed on.
    template <typename TUndo> void SaveOrUndo(TUndo undo);
    void CheckStorable(const TUserRecordType& contact) const;
    // Follows the file and gives the index of `record` (one of UsersList's own records), or of
    // the equal record the file now holds; fails when it holds none.
    std::size_t FollowFileFinding(const TUserRecordType& record);

    std::filesystem::path Settings;
    // The file as this phonebook last read or wrote it; nothing before the first read.
    mutable std::optional<profile::TFileStamp> Seen;
};

} // namespace quillet
