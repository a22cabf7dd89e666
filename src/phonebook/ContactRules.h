#pragma once

#include "phonebook/TUserRecordType.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a contact may hold: one rule for everything that puts a contact into the phonebook (the
// contact editor, the offer to add a caller, the reading of the file) and for the writer, so that
// whatever joins the list is written and read back exactly as it is.
namespace quillet {

// The field of the contact editor a problem is about (the one that takes the keyboard focus).
enum class TContactField { Name, IPAddress, Port };

struct TEntryProblem {
    TContactField Field;
    std::string Message;
    bool operator==(const TEntryProblem&) const = default;
};

// The value of the contact's entry in the file: address, port and style, comma separated.
std::string StoredValue(const TUserRecordType& contact);

// Why the file could not give back this contact exactly as it is, or nothing when it can. The
// name is the entry's key: no control character (a line break would end the entry; the others
// cannot be shown), no "=" (it would end the key), no blank at either end (the file trims them),
// no ";" or "[" at the start (a comment, a section). The address and the port hold no control
// character, "," or "=" (the value is split at commas and ends at "="), and the address starts
// with no blank. Everything is UTF-8.
std::optional<TEntryProblem> StorageProblem(const TUserRecordType& contact);

// The editor's rule for the port: a whole number from 1 to 65535, digits only. (A contact read
// from the file keeps whatever port it holds.)
std::optional<TEntryProblem> PortProblem(std::string_view port);

// Changes the contact as little as it takes to pass StorageProblem and says what was changed,
// one phrase per change; nothing when it passed already. Control characters become blanks in
// the name and are left out of the address and the port, a name loses the blanks and the ";" or
// "[" it starts with, and a name left empty becomes "Unnamed".
std::vector<std::string> RepairForStorage(TUserRecordType& contact);

} // namespace quillet
