#include "phonebook/ContactRules.h"

#include "platform/CodePage1252.h"
#include "platform/ProfileFile.h"

#include <algorithm>
#include <charconv>

namespace quillet {
namespace {

bool IsControl(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 32 || byte == 127;
}

bool HasControlCharacter(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), IsControl);
}

std::string FieldCaption(TContactField field)
{
    switch (field) {
    case TContactField::Name:
        return "Name";
    case TContactField::IPAddress:
        return "IP address";
    case TContactField::Port:
        break;
    }
    return "Port";
}

TEntryProblem Problem(TContactField field, const std::string& what)
{
    return { field, FieldCaption(field) + " " + what };
}

std::optional<TEntryProblem> CommonProblem(TContactField field, std::string_view text)
{
    if (HasControlCharacter(text))
        return Problem(field, "can not contain line breaks or other control characters");
    if (!cp1252::IsValidUtf8(text))
        return Problem(field, "can not contain bytes that are not UTF-8 text");
    return std::nullopt;
}

// The address and the port are pieces of one value: a comma would split the entry into too
// many fields, and an "=" ends the value where the reader takes it.
std::optional<TEntryProblem> FieldProblem(TContactField field, std::string_view text)
{
    if (auto problem = CommonProblem(field, text))
        return problem;
    if (std::any_of(text.begin(), text.end(), [](char c) { return c == ',' || c == '='; }))
        return Problem(field, "can not contain \",\" or \"=\"");
    return std::nullopt;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Replaces every control character by `replacement`, or leaves it out when that is 0.
std::string WithoutControls(std::string_view text, char replacement)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (!IsControl(c))
            out += c;
        else if (replacement != 0)
            out += replacement;
    }
    return out;
}

// Repairs an address or a port; appends the phrases for what changed.
void RepairField(std::string& field, const std::string& caption, bool trimFront,
    std::vector<std::string>& changes)
{
    std::string text = cp1252::Utf8OrFromCp1252(field);
    if (text != field)
        changes.push_back(caption + " was not UTF-8 text and was read as Windows-1252");
    if (HasControlCharacter(text)) {
        text = WithoutControls(text, 0);
        changes.push_back(caption + " held line breaks or other control characters, now left out");
    }
    if (text.find_first_of(",=") != std::string::npos) {
        text.erase(
            std::remove_if(text.begin(), text.end(), [](char c) { return c == ',' || c == '='; }),
            text.end());
        changes.push_back(caption + " held \",\" or \"=\", now left out");
    }
    if (trimFront && !text.empty() && IsBlank(text.front())) {
        text.erase(0, text.find_first_not_of(" \t"));
        changes.push_back(caption + " started with blanks, now left out");
    }
    field = std::move(text);
}

void RepairName(std::string& name, std::vector<std::string>& changes)
{
    std::string text = cp1252::Utf8OrFromCp1252(name);
    if (text != name)
        changes.push_back("the name was not UTF-8 text and was read as Windows-1252");
    if (HasControlCharacter(text)) {
        text = WithoutControls(text, ' ');
        changes.push_back("the name held line breaks or other control characters, now blanks");
    }
    if (text.find('=') != std::string::npos) {
        std::replace(text.begin(), text.end(), '=', ' ');
        changes.push_back("the name held \"=\", now blanks");
    }
    std::string_view trimmed = TrimBlanks(text);
    if (trimmed.size() != text.size())
        changes.push_back("the name started or ended with blanks, now left out");
    if (!trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '[')) {
        while (!trimmed.empty()
            && (trimmed.front() == ';' || trimmed.front() == '[' || IsBlank(trimmed.front())))
            trimmed.remove_prefix(1);
        changes.push_back("the name started with \";\" or \"[\", now left out");
    }
    name = trimmed.empty() ? std::string("Unnamed") : std::string(trimmed);
}

} // namespace

std::string StoredValue(const TUserRecordType& contact)
{
    return contact.IPAddress + "," + contact.Port + ","
        + std::to_string(static_cast<unsigned>(contact.Style));
}

std::optional<TEntryProblem> StorageProblem(const TUserRecordType& contact)
{
    if (auto problem = CommonProblem(TContactField::Name, contact.Name))
        return problem;
    switch (profile::KeyProblem(contact.Name)) {
    case profile::TTextProblem::None:
        break;
    case profile::TTextProblem::HoldsEquals:
        return Problem(TContactField::Name, "can not contain \"=\"");
    case profile::TTextProblem::BlankAtEnd:
        return Problem(TContactField::Name, "can not start or end with a blank");
    case profile::TTextProblem::StartsLikeHeaderOrComment:
        return Problem(TContactField::Name, "can not start with \";\" or \"[\"");
    default:
        return Problem(TContactField::Name, "can not be stored");
    }
    if (auto problem = FieldProblem(TContactField::IPAddress, contact.IPAddress))
        return problem;
    if (auto problem = FieldProblem(TContactField::Port, contact.Port))
        return problem;
    // The value is what the file trims and reads back. With the fields as checked above, the
    // writer's rule can only find a blank at its start, which the address gives it (the value
    // ends in the style's digits); it is not built here, as this runs for every contact of a full
    // phonebook at each start and save.
    if (!contact.IPAddress.empty() && IsBlank(contact.IPAddress.front()))
        return Problem(TContactField::IPAddress, "can not start with a blank");
    return std::nullopt;
}

std::optional<TEntryProblem> PortProblem(std::string_view port)
{
    unsigned value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || error != std::errc() || end != port.data() + port.size() || value < 1
        || value > 65535)
        return TEntryProblem { TContactField::Port, "Port must be a whole number from 1 to 65535" };
    return std::nullopt;
}

std::vector<std::string> RepairForStorage(TUserRecordType& contact)
{
    std::vector<std::string> changes;
    if (!StorageProblem(contact))
        return changes;
    RepairName(contact.Name, changes);
    RepairField(contact.IPAddress, "the IP address", true, changes);
    RepairField(contact.Port, "the port", false, changes);
    return changes;
}

} // namespace quillet
