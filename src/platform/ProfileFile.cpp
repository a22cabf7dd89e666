#include "platform/ProfileFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet::profile {
namespace {

// A settings file cut into lines, each without its line end. The lines are views into the text as
// read and into the lines a write makes, so reading a file of 65,535 contacts makes no string per
// line. Neither moves nor copies: the views point into its own members.
class TParsedFile {
public:
    explicit TParsedFile(const std::filesystem::path& file);
    TParsedFile(const TParsedFile&) = delete;
    TParsedFile& operator=(const TParsedFile&) = delete;

    // Keeps a line made by a write and returns the view to put in Lines.
    std::string_view Own(std::string line) { return Made.emplace_back(std::move(line)); }

    std::vector<std::string_view> Lines;
    std::string Eol = "\n";

private:
    std::string Content;
    std::deque<std::string> Made; // a deque keeps its elements in place as it grows
};

std::string_view Trim(std::string_view s)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower
            = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// The section name of a "[name]" line, if the line is one.
std::optional<std::string_view> SectionName(std::string_view line)
{
    const std::string_view t = Trim(line);
    if (t.size() < 2 || t.front() != '[')
        return std::nullopt;
    const auto close = t.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return Trim(t.substr(1, close - 1));
}

// Key and value of a "key=value" line; nothing for blank lines, comments and lines without '='.
struct TEntryView {
    std::string_view Key;
    std::string_view Value;
};

std::optional<TEntryView> EntryOf(std::string_view line)
{
    const std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';')
        return std::nullopt;
    const auto eq = t.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return TEntryView { Trim(t.substr(0, eq)), Trim(t.substr(eq + 1)) };
}

// What a write may store. Every line of the file is one header or one "key=value": a CR, LF or
// NUL would end the line early (a pasted name could then inject a section and a contact), a "]"
// would end a section name, and a key holding "=" or starting with "[" or ";" would read back as
// another key, a header or a comment.
bool HasLineBreakOrNul(std::string_view s)
{
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool IsStorableSection(std::string_view section)
{
    return !HasLineBreakOrNul(section) && section.find(']') == std::string_view::npos;
}

bool IsStorableKey(std::string_view key)
{
    const std::string_view trimmed = Trim(key);
    return !HasLineBreakOrNul(key) && key.find('=') == std::string_view::npos
        && (trimmed.empty() || (trimmed.front() != '[' && trimmed.front() != ';'));
}

bool IsStorableEntry(std::string_view key, std::string_view value)
{
    return IsStorableKey(key) && !HasLineBreakOrNul(value);
}

TParsedFile::TParsedFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return;
    // One allocation for the whole text: a buffer grown as the bytes come costs a copy and fresh
    // pages at every doubling, most of the start-up time with a phonebook of 65,535 contacts.
    std::error_code sizeError;
    const std::uintmax_t expected = std::filesystem::file_size(file, sizeError);
    if (!sizeError && expected <= Content.max_size())
        Content.reserve(static_cast<std::size_t>(expected));
    std::array<char, 1 << 16> block;
    while (in.read(block.data(), block.size()) || in.gcount() > 0)
        Content.append(block.data(), static_cast<std::size_t>(in.gcount()));
    if (Content.find("\r\n") != std::string::npos)
        Eol = "\r\n";
    const std::string_view content = Content;
    Lines.reserve(static_cast<std::size_t>(std::count(content.begin(), content.end(), '\n')) + 1);
    std::size_t start = 0;
    while (start < content.size()) {
        auto end = content.find('\n', start);
        if (end == std::string_view::npos)
            end = content.size();
        std::string_view line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        Lines.push_back(line);
        start = end + 1;
    }
}

std::string Join(const TParsedFile& parsed)
{
    std::string out;
    for (const std::string_view line : parsed.Lines) {
        out += line;
        out += parsed.Eol;
    }
    return out;
}

// Line range [Begin, End) of the first section with the given name; Begin is the header line.
struct TSectionRange {
    std::size_t Begin;
    std::size_t End;
};

std::optional<TSectionRange> FindSection(const TParsedFile& parsed, std::string_view section)
{
    for (std::size_t i = 0; i < parsed.Lines.size(); ++i) {
        const auto name = SectionName(parsed.Lines[i]);
        if (!name || !EqualsNoCase(*name, Trim(section)))
            continue;
        std::size_t end = i + 1;
        while (end < parsed.Lines.size() && !SectionName(parsed.Lines[end]))
            ++end;
        return TSectionRange { i, end };
    }
    return std::nullopt;
}

// Index just past the last non-blank line of the range, so new keys go before trailing blanks.
std::size_t InsertionPoint(const TParsedFile& parsed, const TSectionRange& range)
{
    std::size_t at = range.End;
    while (at > range.Begin + 1 && Trim(parsed.Lines[at - 1]).empty())
        --at;
    return at;
}

void AppendSection(
    TParsedFile& parsed, std::string_view section, const std::vector<TProfileEntry>& entries)
{
    if (!parsed.Lines.empty() && !Trim(parsed.Lines.back()).empty())
        parsed.Lines.push_back({});
    std::string header(1, '[');
    header.append(section).push_back(']');
    parsed.Lines.push_back(parsed.Own(std::move(header)));
    for (const TProfileEntry& e : entries)
        parsed.Lines.push_back(parsed.Own(e.Key + "=" + e.Value));
}

bool WriteAll(int fd, std::string_view content, std::size_t failAfterBytes)
{
    std::size_t done = 0;
    while (done < content.size()) {
        std::size_t piece = content.size() - done;
        if (done >= failAfterBytes)
            return false;
        piece = std::min(piece, failAfterBytes - done);
        const ssize_t n = ::write(fd, content.data() + done, piece);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The file a path finally names: a symlinked settings file is written through to its target,
// so that the link stays a link. A dangling link names the file it would point to.
std::filesystem::path ResolveLinks(const std::filesystem::path& file)
{
    std::filesystem::path target = file;
    std::error_code error;
    for (int hops = 0; hops < 40 && std::filesystem::is_symlink(target, error); ++hops) {
        const std::filesystem::path link = std::filesystem::read_symlink(target, error);
        if (error)
            break;
        target = link.is_absolute() ? link : target.parent_path() / link;
    }
    return target;
}

// The fallback for a file that may be changed in a folder that may not (a settings file handed
// to the user beside a program in a system folder): no temporary file can be made beside it, so
// the file itself is overwritten from the start, cut to the new length and flushed. That is not
// atomic (a crash in the middle leaves a torn file), which is why it is only the fallback; the
// new text goes out in as few writes as the system allows, so the window is as short as it can
// be.
bool RewriteInPlace(
    const std::filesystem::path& file, std::string_view content, std::size_t failAfterBytes)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, content, failAfterBytes)
        && ::ftruncate(fd, static_cast<off_t>(content.size())) == 0 && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    return ok;
}

} // namespace

bool WriteFileAtomically(
    const std::filesystem::path& path, std::string_view content, std::size_t failAfterBytes)
{
    const std::filesystem::path file = ResolveLinks(path);
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    std::string tmpl = (folder / (file.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0) {
        const bool folderClosed = errno == EACCES || errno == EPERM || errno == EROFS;
        return folderClosed && RewriteInPlace(file, content, failAfterBytes);
    }
    struct stat old { };
    if (::stat(file.c_str(), &old) == 0)
        ::fchmod(fd, old.st_mode & 07777);
    else
        ::fchmod(fd, 0644);
    bool ok = WriteAll(fd, content, failAfterBytes) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = ::rename(tmpl.c_str(), file.c_str()) == 0;
    if (!ok) {
        ::unlink(tmpl.c_str());
        return false;
    }
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

std::string ReadString(const std::filesystem::path& file, std::string_view section,
    std::string_view key, std::string_view defaultValue)
{
    const TParsedFile parsed(file);
    const auto range = FindSection(parsed, section);
    if (!range)
        return std::string(defaultValue);
    for (std::size_t i = range->Begin + 1; i < range->End; ++i) {
        const auto entry = EntryOf(parsed.Lines[i]);
        if (entry && EqualsNoCase(entry->Key, Trim(key)))
            return std::string(entry->Value);
    }
    return std::string(defaultValue);
}

bool WriteString(const std::filesystem::path& file, std::string_view section, std::string_view key,
    std::string_view value)
{
    if (!IsStorableSection(section) || !IsStorableEntry(key, value))
        return false;
    TParsedFile parsed(file);
    const std::string line = std::string(Trim(key)) + "=" + std::string(value);
    const auto range = FindSection(parsed, section);
    if (!range) {
        AppendSection(parsed, section, {});
        parsed.Lines.push_back(line);
        return WriteFileAtomically(file, Join(parsed));
    }
    for (std::size_t i = range->Begin + 1; i < range->End; ++i) {
        const auto entry = EntryOf(parsed.Lines[i]);
        if (entry && EqualsNoCase(entry->Key, Trim(key))) {
            parsed.Lines[i] = line;
            return WriteFileAtomically(file, Join(parsed));
        }
    }
    const auto at = InsertionPoint(parsed, *range);
    parsed.Lines.insert(parsed.Lines.begin() + static_cast<std::ptrdiff_t>(at), line);
    return WriteFileAtomically(file, Join(parsed));
}

std::vector<TProfileEntry> ReadSection(const std::filesystem::path& file, std::string_view section)
{
    std::vector<TProfileEntry> entries;
    const TParsedFile parsed(file);
    const auto range = FindSection(parsed, section);
    if (!range)
        return entries;
    entries.reserve(range->End - range->Begin - 1);
    for (std::size_t i = range->Begin + 1; i < range->End; ++i) {
        if (auto entry = EntryOf(parsed.Lines[i]))
            entries.push_back({ std::string(entry->Key), std::string(entry->Value) });
    }
    return entries;
}

bool SectionExists(const std::filesystem::path& file, std::string_view section)
{
    return FindSection(TParsedFile(file), section).has_value();
}

bool ReplaceSection(const std::filesystem::path& file, std::string_view section,
    const std::vector<TProfileEntry>& entries)
{
    const bool storable = std::all_of(entries.begin(), entries.end(),
        [](const TProfileEntry& e) { return IsStorableEntry(e.Key, e.Value); });
    if (!IsStorableSection(section) || !storable)
        return false;
    TParsedFile parsed(file);
    const auto range = FindSection(parsed, section);
    if (!range && entries.empty())
        return true;
    if (range) {
        // Keep the header's place in the file; drop every entry line of the old section.
        std::vector<std::string_view> replacement;
        if (!entries.empty()) {
            replacement.push_back(parsed.Lines[range->Begin]);
            for (const TProfileEntry& e : entries)
                replacement.push_back(parsed.Own(e.Key + "=" + e.Value));
            if (range->End < parsed.Lines.size())
                replacement.push_back({});
        }
        const auto first = parsed.Lines.begin() + static_cast<std::ptrdiff_t>(range->Begin);
        const auto last = parsed.Lines.begin() + static_cast<std::ptrdiff_t>(range->End);
        parsed.Lines.erase(first, last);
        parsed.Lines.insert(parsed.Lines.begin() + static_cast<std::ptrdiff_t>(range->Begin),
            replacement.begin(), replacement.end());
    } else {
        AppendSection(parsed, section, entries);
    }
    return WriteFileAtomically(file, Join(parsed));
}

bool EraseSection(const std::filesystem::path& file, std::string_view section)
{
    return ReplaceSection(file, section, {});
}

std::vector<std::string> ListSections(const std::filesystem::path& file)
{
    std::vector<std::string> names;
    const TParsedFile parsed(file);
    for (const std::string_view line : parsed.Lines) {
        if (const auto name = SectionName(line))
            names.emplace_back(*name);
    }
    return names;
}

} // namespace quillet::profile
