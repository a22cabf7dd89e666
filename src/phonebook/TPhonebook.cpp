#include "phonebook/TPhonebook.h"

#include "phonebook/PhonebookText.h"
#include "platform/ProfileFile.h"

#include <algorithm>
#include <stdexcept>

namespace quillet {
namespace {

constexpr std::string_view UsersSection = "Users Section";

const std::string DefaultPortText(TPhonebook::DefaultPort);

bool HasControlCharacter(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 32 || byte == 127;
    });
}

// The problem of one address or port field: a comma would split the entry into too many fields,
// and an "=" ends the value where the reader takes it.
std::optional<std::string> FieldProblem(std::string_view field, const std::string& caption)
{
    if (HasControlCharacter(field))
        return caption + " can not contain line breaks or other control characters";
    if (field.find_first_of(",=") != std::string_view::npos)
        return caption + " can not contain \",\" or \"=\"";
    return std::nullopt;
}

} // namespace

const TUserRecordType TPhonebook::DefaultContact { "Jane Doe", "127.0.0.1", DefaultPortText,
    TChatStyle::IMPreview };

TPhonebook::TPhonebook(std::filesystem::path settingsFile)
    : Settings(std::move(settingsFile))
{
}

std::optional<std::string> TPhonebook::ReadUsers()
{
    std::optional<std::string> conversionError;
    const std::vector<profile::TProfileEntry> entries
        = profile::ReadSection(Settings, UsersSection);
    UsersList.clear();
    UsersList.reserve(entries.size());
    for (const profile::TProfileEntry& entry : entries) {
        // The entry is "name=value" with the name up to the first "="; of the value only the
        // text before a further "=" counts.
        const std::string_view value
            = std::string_view(entry.Value).substr(0, entry.Value.find('='));
        std::vector<std::string> fields = SplitString(value, ',');
        switch (fields.size()) {
        case 1:
            UsersList.emplace_back(
                entry.Key, std::move(fields[0]), DefaultPortText, TChatStyle::IMPreview);
            break;
        case 2:
            UsersList.emplace_back(
                entry.Key, std::move(fields[0]), std::move(fields[1]), TChatStyle::IMPreview);
            break;
        case 3: {
            TChatStyle style = TChatStyle::IMPreview;
            if (const auto number = ParseWholeNumber(fields[2]))
                style = static_cast<TChatStyle>(static_cast<std::uint32_t>(*number) & 0xFF);
            else if (!conversionError)
                conversionError = "'" + fields[2] + "' is not a valid integer value";
            UsersList.emplace_back(entry.Key, std::move(fields[0]), std::move(fields[1]), style);
            break;
        }
        default:
            break; // more fields than the format has: not a contact
        }
    }
    return conversionError;
}

void TPhonebook::SaveUsers() const
{
    std::vector<profile::TProfileEntry> entries;
    entries.reserve(UsersList.size());
    for (const TUserRecordType& user : UsersList) {
        entries.push_back({ user.Name,
            user.IPAddress + "," + user.Port + ","
                + std::to_string(static_cast<unsigned>(user.Style)) });
    }
    if (!profile::ReplaceSection(Settings, UsersSection, entries))
        throw std::runtime_error("Unable to write to " + Settings.string());
}

TUserRecordType* TPhonebook::FindUser(std::string_view name)
{
    const auto it = std::find_if(UsersList.begin(), UsersList.end(),
        [name](const TUserRecordType& user) { return user.Name == name; });
    return it != UsersList.end() ? &*it : nullptr;
}

const TUserRecordType* TPhonebook::FindUser(std::string_view name) const
{
    return const_cast<TPhonebook*>(this)->FindUser(name);
}

void TPhonebook::TakeOut(const TUserRecordType& record)
{
    const auto it = std::find_if(UsersList.begin(), UsersList.end(),
        [&record](const TUserRecordType& user) { return &user == &record; });
    if (it != UsersList.end())
        UsersList.erase(it);
}

void TPhonebook::SortUsers()
{
    // Every change leaves a sorted list with new contacts at the end: sorting only that tail and
    // merging it in costs one pass, where sorting everything again would compare each name some
    // sixteen times in a full phonebook.
    const auto before = [](const TUserRecordType& a, const TUserRecordType& b) {
        return CompareUserNames(a, b) < 0;
    };
    const auto tail = std::is_sorted_until(UsersList.begin(), UsersList.end(), before);
    std::sort(tail, UsersList.end(), before);
    std::inplace_merge(UsersList.begin(), tail, UsersList.end(), before);
}

bool TPhonebook::AddDefaultContact()
{
    if (!UsersList.empty())
        return false;
    UsersList.push_back(DefaultContact);
    return true;
}

std::vector<std::string> TPhonebook::CheckEntry(
    const TUserRecordType& entry, const TUserRecordType* replacing) const
{
    std::vector<std::string> messages;
    if (entry.Name.empty())
        messages.emplace_back("Name can not be blank");
    if (entry.IPAddress.empty())
        messages.emplace_back("IP address can not be blank");
    if (!entry.Name.empty()) {
        const TUserRecordType* same = FindUser(entry.Name);
        if (same != nullptr && same != replacing)
            messages.emplace_back("Name already exists. Can not add");
    }
    if (messages.empty()) {
        if (auto problem = StorageProblem(entry))
            messages.push_back(std::move(*problem));
    }
    return messages;
}

std::optional<std::string> TPhonebook::StorageProblem(const TUserRecordType& contact)
{
    // The name is the entry's key: the first "=" of the line ends it, a line break would end the
    // entry, and a line that starts with ";" is a comment and one that starts with "[" may be
    // taken for a section.
    const std::string_view name = contact.Name;
    if (HasControlCharacter(name))
        return "Name can not contain line breaks or other control characters";
    if (name.find('=') != std::string_view::npos)
        return "Name can not contain \"=\"";
    if (!name.empty() && (name.front() == ';' || name.front() == '['))
        return "Name can not start with \";\" or \"[\"";
    if (auto problem = FieldProblem(contact.IPAddress, "IP address"))
        return problem;
    return FieldProblem(contact.Port, "Port");
}

} // namespace quillet
