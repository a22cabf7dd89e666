#include "settings/Settings.h"

namespace quillet::settings {
namespace {

constexpr std::string_view Section = "Settings";
constexpr std::string_view UserNameKey = "User name";
constexpr std::string_view SkinFileKey = "Skin file";
constexpr std::string_view VisibleNearbyKey = "Visible Nearby";
constexpr std::string_view PhonebookSection = "Users Section";

} // namespace

std::string OwnName(const std::filesystem::path& file, std::string_view whenMissing)
{
    return profile::ReadString(file, Section, UserNameKey, whenMissing);
}

bool WriteOwnName(const std::filesystem::path& file, std::string_view name)
{
    return profile::WriteString(file, Section, UserNameKey, name);
}

std::string SkinFile(const std::filesystem::path& file)
{
    return profile::ReadString(file, Section, SkinFileKey, "");
}

bool VisibleNearby(const std::filesystem::path& file)
{
    return profile::ReadString(file, Section, VisibleNearbyKey, "0") == "1";
}

bool WriteVisibleNearby(const std::filesystem::path& file, bool visible)
{
    return profile::WriteString(file, Section, VisibleNearbyKey, visible ? "1" : "0");
}

std::vector<profile::TProfileEntry> PhonebookEntries(const std::filesystem::path& file)
{
    return profile::ReadSection(file, PhonebookSection);
}

bool WritePhonebookEntries(
    const std::filesystem::path& file, const std::vector<profile::TProfileEntry>& entries)
{
    return profile::ReplaceSection(file, PhonebookSection, entries);
}

std::string WriteFailureText(const std::filesystem::path& file)
{
    return profile::WriteFailureText(file);
}

} // namespace quillet::settings
