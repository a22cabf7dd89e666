#pragma once

#include <cstddef>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

// Reading and writing INI-style profile files.
//
// Format: "[Section]" lines open sections; "key=value" lines inside a section hold values.
// Section and key names are matched without regard to ASCII letter case; keys and values are
// trimmed of blanks and tabs; when a key or section occurs twice, the first one wins. Lines
// starting with ';' are comments. Text is kept as bytes (the settings file is UTF-8).
//
// Every call opens the file, works and lets go of it: nothing is cached. A missing or unreadable
// file reads as empty. Writes replace the whole file atomically (temporary file in the same
// folder, fsync, rename), so a failed write leaves the previous file byte for byte; the write
// functions return false then. A symlinked file is written through to its target. A file that may
// be changed in a folder that may not is rewritten in place instead (not atomic, the only way
// left).
//
// The write functions refuse, writing nothing, text that could not be read back as written: a
// section, key or value holding CR, LF or NUL, a section name holding "]", and a key holding "="
// or starting with "[" or ";" (blanks around it aside).
namespace quillet::profile {

struct TProfileEntry {
    std::string Key;
    std::string Value;
    bool operator==(const TProfileEntry&) const = default;
};

std::string ReadString(const std::filesystem::path& file, std::string_view section,
    std::string_view key, std::string_view defaultValue);

// Sets one value, creating the file, the section or the key as needed; everything else in the
// file stays as it was.
bool WriteString(const std::filesystem::path& file, std::string_view section, std::string_view key,
    std::string_view value);

// The entries of a section in file order (all of them, duplicates included).
std::vector<TProfileEntry> ReadSection(const std::filesystem::path& file, std::string_view section);

bool SectionExists(const std::filesystem::path& file, std::string_view section);

// Removes the section with all its entries. Removing a missing section succeeds.
bool EraseSection(const std::filesystem::path& file, std::string_view section);

// Replaces the section by the given entries in one write (an empty list removes it). The entries
// are written as given, also keys that differ only in letter case.
bool ReplaceSection(const std::filesystem::path& file, std::string_view section,
    const std::vector<TProfileEntry>& entries);

// Section names in file order.
std::vector<std::string> ListSections(const std::filesystem::path& file);

// Writes `content` as the whole file: temporary file beside it, fsync, rename over it, fsync of
// the folder (or, when the folder takes no new file, the rewrite in place). `failAfterBytes` makes
// the write stop with a failure after that many bytes; it exists so that tests can show that an
// interrupted write leaves the old file untouched.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view content,
    std::size_t failAfterBytes = std::numeric_limits<std::size_t>::max());

} // namespace quillet::profile
