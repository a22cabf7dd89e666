#include "phonebook/TPhonebook.h"

#include "phonebook/PhonebookText.h"
#include "platform/CodePage1252.h"
#include "platform/ProfileFile.h"

#include <algorithm>
#include <stdexcept>

namespace quillet {
namespace {

const std::string DefaultPortText(TPhonebook::DefaultPort);

// The name as the report shows it: control characters, which cannot be shown, as "?".
std::string Printable(std::string_view name)
{
    std::string out(name);
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte == 127)
            c = '?';
    }
    return out;
}

std::string Joined(const std::vector<std::string>& phrases)
{
    std::string out;
    for (const std::string& phrase : phrases)
        out += (out.empty() ? "" : "; ") + phrase;
    return out;
}

} // namespace

const TUserRecordType TPhonebook::DefaultContact { "Jane Doe", "127.0.0.1", DefaultPortText,
    NewContactStyle };

TPhonebook::TPhonebook(std::filesystem::path settingsFile)
    : Settings(std::move(settingsFile))
{
}

TPhonebook::TReadReport TPhonebook::ReadUsers()
{
    TReadReport report;
    std::vector<std::string> repairs;
    // Taken before the reading: a write that lands during it leaves another stamp, which the
    // next change follows.
    Seen = profile::FileStamp(Settings);
    const std::vector<profile::TProfileEntry> entries = settings::PhonebookEntries(Settings);
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
                entry.Key, std::move(fields[0]), DefaultPortText, NewContactStyle);
            break;
        case 2:
            UsersList.emplace_back(
                entry.Key, std::move(fields[0]), std::move(fields[1]), NewContactStyle);
            break;
        case 3: {
            TChatStyle style = NewContactStyle;
            if (const auto number = ParseWholeNumber(fields[2]))
                style = static_cast<TChatStyle>(static_cast<std::uint32_t>(*number) & 0xFF);
            else if (!report.ConversionError)
                report.ConversionError = "'" + fields[2] + "' is not a valid integer value";
            UsersList.emplace_back(entry.Key, std::move(fields[0]), std::move(fields[1]), style);
            break;
        }
        default:
            continue; // more fields than the format has: not a contact
        }
        TUserRecordType& contact = UsersList.back();
        const std::vector<std::string> changes = RepairForStorage(contact);
        if (changes.empty())
            continue;
        const std::string was = Printable(cp1252::Utf8OrFromCp1252(entry.Key));
        repairs.push_back("\"" + was + "\""
            + (was != contact.Name ? " is now \"" + contact.Name + "\"" : std::string()) + ": "
            + Joined(changes) + ".");
    }
    if (!repairs.empty()) {
        std::string text = "Some contacts in " + Settings.string()
            + " could not have been saved as they were. They are kept, changed like this:";
        for (const std::string& line : repairs)
            text += "\n" + line;
        report.Repaired = std::move(text);
    }
    return report;
}

void TPhonebook::SaveUsers() const
{
    std::vector<profile::TProfileEntry> entries;
    entries.reserve(UsersList.size());
    for (const TUserRecordType& user : UsersList)
        entries.push_back({ user.Name, StoredValue(user) });
    if (!settings::WritePhonebookEntries(Settings, entries))
        throw std::runtime_error(settings::WriteFailureText(Settings));
    Seen = profile::FileStamp(Settings);
}

bool TPhonebook::FollowFile()
{
    const profile::TFileStamp now = profile::FileStamp(Settings);
    if (!Seen || *Seen == now || !now.Exists || profile::FileProblem(Settings))
        return false;
    ReadUsers();
    return true;
}

std::string TPhonebook::ChangedMeanwhileText(std::string_view name) const
{
    return Settings.string() + " was changed by another program meanwhile. Nothing was saved of \""
        + Printable(name) + "\".";
}

std::size_t TPhonebook::FollowFileFinding(const TUserRecordType& record)
{
    const TUserRecordType was = record;
    if (!FollowFile())
        return IndexOf(record);
    const auto found = std::find(UsersList.begin(), UsersList.end(), was);
    if (found == UsersList.end())
        throw std::runtime_error(ChangedMeanwhileText(was.Name));
    return static_cast<std::size_t>(found - UsersList.begin());
}

void TPhonebook::CheckStorable(const TUserRecordType& contact) const
{
    // The editor's checks keep to the rule. A contact that did not would come back from the file
    // changed, or fail the whole write: it is refused here, named. Checked as it comes in, not
    // at every save, which a full phonebook would pay for 65,535 times.
    if (const auto problem = StorageProblem(contact)) {
        throw std::runtime_error(settings::WriteFailureText(Settings) + ": the contact \""
            + Printable(contact.Name) + "\" cannot be stored (" + problem->Message + ")");
    }
}

std::size_t TPhonebook::IndexOf(const TUserRecordType& record) const
{
    return static_cast<std::size_t>(&record - UsersList.data());
}

template <typename TUndo> void TPhonebook::SaveOrUndo(TUndo undo)
{
    try {
        SaveUsers();
    } catch (...) {
        undo();
        throw;
    }
}

void TPhonebook::AddUser(TUserRecordType contact)
{
    CheckStorable(contact);
    if (FollowFile() && FindUser(contact.Name) != nullptr)
        throw std::runtime_error(ChangedMeanwhileText(contact.Name));
    UsersList.push_back(std::move(contact));
    SaveOrUndo([this] { UsersList.pop_back(); });
}

void TPhonebook::ReplaceUser(const TUserRecordType& old, TUserRecordType updated)
{
    CheckStorable(updated);
    const std::size_t at = FollowFileFinding(old);
    TUserRecordType taken = std::move(UsersList[at]);
    UsersList.erase(UsersList.begin() + static_cast<std::ptrdiff_t>(at));
    UsersList.push_back(std::move(updated));
    SaveOrUndo([this, at, &taken] {
        UsersList.pop_back();
        UsersList.insert(UsersList.begin() + static_cast<std::ptrdiff_t>(at), std::move(taken));
    });
}

void TPhonebook::DeleteUser(const TUserRecordType& user)
{
    const std::size_t at = FollowFileFinding(user);
    TUserRecordType taken = std::move(UsersList[at]);
    UsersList.erase(UsersList.begin() + static_cast<std::ptrdiff_t>(at));
    SaveOrUndo([this, at, &taken] {
        UsersList.insert(UsersList.begin() + static_cast<std::ptrdiff_t>(at), std::move(taken));
    });
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

std::vector<TEntryProblem> TPhonebook::CheckEntry(
    const TUserRecordType& entry, const TUserRecordType* replacing) const
{
    std::vector<TEntryProblem> problems;
    if (entry.Name.empty())
        problems.push_back({ TContactField::Name, "Name can not be blank" });
    if (entry.IPAddress.empty())
        problems.push_back({ TContactField::IPAddress, "IP address can not be blank" });
    if (!entry.Name.empty()) {
        const TUserRecordType* same = FindUser(entry.Name);
        if (same != nullptr && same != replacing)
            problems.push_back({ TContactField::Name, "Name already exists. Can not add" });
    }
    if (problems.empty()) {
        // A contact that already holds a port (a service name, say) keeps it through an edit
        // that leaves it alone.
        const bool portKept = replacing != nullptr && replacing->Port == entry.Port;
        if (auto problem = StorageProblem(entry))
            problems.push_back(std::move(*problem));
        else if (auto portProblem = PortProblem(entry.Port); portProblem && !portKept)
            problems.push_back(std::move(*portProblem));
    }
    return problems;
}

} // namespace quillet
