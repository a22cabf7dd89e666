#pragma once

#include "platform/ProfileFile.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::settings {

// settings.ini, key by key: the one place that spells its sections and keys.
//
// - Section "Settings": "User name" (the own name), "Skin file", "Visible Nearby".
// - Section "Users Section": the phonebook, one contact a line (the phonebook's own format).
//
// Reads never fail: a missing file or key reads as its default. Writes change only their key,
// keep every other line as it stands, and return false when the file could not be written.

// The own name when none is stored (and the greeting's name when the stored one holds no
// character the wire can carry).
inline constexpr std::string_view DefaultUserName = "John Doe";
// The port every copy answers calls on and that contacts are called at unless they say
// otherwise.
inline constexpr int DefaultPort = 2323;
inline constexpr std::string_view DefaultPortText = "2323";

// "User name": `whenMissing` when the file or the key is missing.
std::string OwnName(const std::filesystem::path& file, std::string_view whenMissing = {});
bool WriteOwnName(const std::filesystem::path& file, std::string_view name);

// "Skin file": empty when missing (the built-in skin), "none", or a package's path.
std::string SkinFile(const std::filesystem::path& file);

// "Visible Nearby": 1 when the user chose to be announced to People Nearby on this network.
// Absent, 0 or anything else: not announced, so nothing about the user goes out without asking.
bool VisibleNearby(const std::filesystem::path& file);
bool WriteVisibleNearby(const std::filesystem::path& file, bool visible);

// The phonebook's lines, as the file holds them (the phonebook reads and checks them), and all of
// them replaced in one write.
std::vector<profile::TProfileEntry> PhonebookEntries(const std::filesystem::path& file);
bool WritePhonebookEntries(
    const std::filesystem::path& file, const std::vector<profile::TProfileEntry>& entries);

// The report of a failed write: "Unable to write to <path>", and what is wrong with the path when
// it is no usable file.
std::string WriteFailureText(const std::filesystem::path& file);

} // namespace quillet::settings
