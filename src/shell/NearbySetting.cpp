#include "shell/NearbySetting.h"

#include "platform/ProfileFile.h"

namespace quillet {

namespace {

constexpr const char* Section = "Settings";
constexpr const char* Key = "Visible Nearby";

} // namespace

bool ReadVisibleNearby(const std::filesystem::path& settingsFile)
{
    return profile::ReadString(settingsFile, Section, Key, "0") == "1";
}

bool WriteVisibleNearby(const std::filesystem::path& settingsFile, bool visible)
{
    return profile::WriteString(settingsFile, Section, Key, visible ? "1" : "0");
}

} // namespace quillet
