#pragma once

#include "phonebook/TUserRecordType.h"

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
// The list is read once at start and the whole section is rewritten after every change. Its
// order is the one of the last SortUsers, with contacts added since then at the end; the file is
// written in that order.
class TPhonebook {
public:
    // The port every copy answers on: a contact's port when none is given.
    static constexpr std::string_view DefaultPort = "2323";
    // The contact an empty phonebook starts with: this very copy of the program, so that a first
    // Dial shows both ends of a conversation without a second computer.
    static const TUserRecordType DefaultContact;

    explicit TPhonebook(std::filesystem::path settingsFile);

    // Replaces UsersList by the contacts stored in the file. A style field that is not a whole
    // number does not stop the reading: the contact is kept with style 3, and the message for
    // the first such field is returned ("'two' is not a valid integer value"). Of a number, the
    // low 8 bits are the style (259 is 3, -1 is 255).
    std::optional<std::string> ReadUsers();

    // Rewrites the section from UsersList in one atomic write (an empty list removes it). Every
    // entry is written, also names that differ only in letter case. Throws std::runtime_error
    // "Unable to write to <path>" when the file cannot be written; it is then left as it was.
    void SaveUsers() const;

    // The first contact whose name is exactly `name` (same bytes, letter case included), or null.
    // Valid until UsersList changes.
    TUserRecordType* FindUser(std::string_view name);
    const TUserRecordType* FindUser(std::string_view name) const;

    // Takes a contact (one of UsersList's own records) out of the list.
    void TakeOut(const TUserRecordType& record);

    // Sorts UsersList with CompareUserNames.
    void SortUsers();

    // Adds DefaultContact when the list is empty; true when it did.
    bool AddDefaultContact();

    // The messages for an entry from the contact editor, in the order they are shown; none when
    // the entry may join the phonebook. Name and address must not be blank, the name must not be
    // another contact's (`replacing` is the contact an edit replaces, whose own name is no
    // clash), and the entry must read back from the file exactly as it is (StorageProblem).
    std::vector<std::string> CheckEntry(
        const TUserRecordType& entry, const TUserRecordType* replacing) const;

    // Why the file could not give back this contact exactly as it is, or nothing when it can.
    // The fields are taken as already trimmed of blanks and control characters at both ends.
    static std::optional<std::string> StorageProblem(const TUserRecordType& contact);

    const std::filesystem::path& SettingsFile() const { return Settings; }

    std::vector<TUserRecordType> UsersList;

private:
    std::filesystem::path Settings;
};

} // namespace quillet
