#pragma once

#include <filesystem>

namespace quillet {

// "Visible Nearby" in section "Settings": 1 when the user chose to be announced to People Nearby
// on this network. Absent, 0 or anything else: not announced, so nothing about the user goes out
// without asking.
bool ReadVisibleNearby(const std::filesystem::path& settingsFile);
// False when the file could not be written.
bool WriteVisibleNearby(const std::filesystem::path& settingsFile, bool visible);

} // namespace quillet
