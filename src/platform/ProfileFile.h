#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reading and writing INI-style profile files.
//
// Format: "[Section]" lines open sections; "key=value" lines inside a section hold values.
// Section and key names are matched without regard to ASCII letter case; keys and values are
// trimmed of blanks and tabs; when a key or section occurs twice, the first one wins. Lines
// starting with ';' are comments. Text is UTF-8: a line that is not valid UTF-8 (a file written
// in the single-byte Windows code page, by hand or by an older program) is read as Windows-1252,
// and a rewrite stores it as UTF-8. A UTF-8 byte order mark at the start is skipped.
//
// Every call opens the file, works and lets go of it: nothing is cached. A missing file reads as
// empty. Only a regular file of at most MaxFileSize bytes is read or written: anything else (a
// folder, a named pipe, a device, a file far too large, a file that cannot be read) reads as
// empty and every write to it fails without touching it, so a write never replaces a file it
// could not read. Writes replace the whole file atomically (temporary file in the same folder,
// fsync, rename), so a failed write leaves the previous file byte for byte; the write functions
// return false then. A symlinked file is written through to its target. A file that may be
// changed in a folder that may not is rewritten in place instead: that is not atomic, and a
// crash in the middle of it can leave a torn file.
//
// The write functions refuse, writing nothing, text that could not be read back (KeyProblem,
// ValueProblem); WriteString takes the key and value trimmed, ReplaceSection takes them only as
// they read back exactly.
namespace quillet::profile {

struct TProfileEntry {
    std::string Key;
    std::string Value;
    bool operator==(const TProfileEntry&) const = default;
};

// The largest file read or written: far above any real settings file (65,535 contacts take about
// 5 MB), low enough that a wrong file cannot fill the memory.
inline constexpr std::uintmax_t MaxFileSize = std::uintmax_t { 64 } * 1024 * 1024;

// Why the file cannot be used, in words for its owner ("it is a folder, not a file"), or nothing
// when it is a regular file of at most MaxFileSize bytes or does not exist.
std::optional<std::string> FileProblem(const std::filesystem::path& file);

// What tells one state of a file from another: which file the path names, its size and its
// modification and change times. Every write replaces or rewrites the file, and so changes one
// of them: a program that read the file and finds the same stamp later knows nobody wrote it
// meanwhile.
struct TFileStamp {
    bool Exists = false;
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::int64_t Size = 0;
    std::int64_t ModifiedNs = 0;
    std::int64_t ChangedNs = 0;
    bool operator==(const TFileStamp&) const = default;
};
// The file's stamp now (Exists false when it cannot be looked at).
TFileStamp FileStamp(const std::filesystem::path& file);

// The report of a failed write: "Unable to write to <path>", and what is wrong with the path when
// FileProblem can tell.
std::string WriteFailureText(const std::filesystem::path& file);

// What keeps a text from being read back exactly as it was written, in the order checked.
enum class TTextProblem {
    None,
    LineBreakOrNul, // a CR, LF or NUL would end the line early
    NotUtf8, // it would be read as Windows-1252
    HoldsEquals, // keys only: the first "=" ends the key
    BlankAtEnd, // blanks and tabs at either end are trimmed
    StartsLikeHeaderOrComment, // keys only: "[" may start a header, ";" a comment
};
TTextProblem KeyProblem(std::string_view key);
TTextProblem ValueProblem(std::string_view value);

// The value of the first such key in the first such section, or nothing.
std::optional<std::string> ReadValue(
    const std::filesystem::path& file, std::string_view section, std::string_view key);

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
// are written as given, also keys that differ only in letter case; an entry that would not read
// back exactly as given fails the whole write.
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

// Removes the temporary files that saves cut short by a crash or a kill left beside the file
// ("settings.ini.XXXXXX", owned by this user); returns how many. Only safe while no other
// program saves this file, so it runs once at start, when the program holds its single-instance
// lock.
std::size_t RemoveStaleTemporaries(const std::filesystem::path& file);

} // namespace quillet::profile
