#include "platform/ProfileFile.h"

#include "platform/CodePage1252.h"

#include <algorithm>
#include <cerrno>
#include <deque>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace quillet::profile {
namespace {

// A settings file cut into lines, each without its line end and in UTF-8. The lines are views
// into the text as read and into the lines a write or a conversion makes, so reading a file of
// 65,535 contacts makes no string per line. Neither moves nor copies: the views point into its
// own members. A file that may not be read (FileProblem) has no lines and is not Usable: a write
// must leave it alone.
class TParsedFile {
public:
    explicit TParsedFile(const std::filesystem::path& file);
    TParsedFile(const TParsedFile&) = delete;
    TParsedFile& operator=(const TParsedFile&) = delete;

    // Keeps a line made by a write and returns the view to put in Lines.
    std::string_view Own(std::string line) { return Made.emplace_back(std::move(line)); }

    bool Usable() const { return !Refused; }

    std::vector<std::string_view> Lines;
    std::string Eol = "\n";

private:
    std::string Content;
    std::deque<std::string> Made; // a deque keeps its elements in place as it grows
    bool Refused = false;
};

bool ReadWholeFile(const std::filesystem::path& file, std::string& content);

// A byte order mark is how some editors start a UTF-8 file; it belongs to no line.
std::string_view WithoutByteOrderMark(std::string_view content)
{
    constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
    if (content.substr(0, ByteOrderMark.size()) == ByteOrderMark)
        content.remove_prefix(ByteOrderMark.size());
    return content;
}

// Takes the next line off the front of `rest`, without its line end ("\n" or "\r\n").
std::string_view NextLine(std::string_view& rest)
{
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

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
    // One pass: find_first_of would search the set of three once for every byte, and this runs
    // for every entry of a phonebook at each save.
    return std::any_of(
        s.begin(), s.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
}

bool IsStorableSection(std::string_view section)
{
    return !HasLineBreakOrNul(section) && section.find(']') == std::string_view::npos
        && cp1252::IsValidUtf8(section);
}

bool IsRegularAndSmallEnough(const struct stat& st)
{
    return S_ISREG(st.st_mode) && static_cast<std::uintmax_t>(st.st_size) <= MaxFileSize;
}

TParsedFile::TParsedFile(const std::filesystem::path& file)
{
    if (!ReadWholeFile(file, Content)) {
        Refused = true;
        Content.clear();
        return;
    }
    const std::string_view content = WithoutByteOrderMark(Content);
    if (content.find("\r\n") != std::string::npos)
        Eol = "\r\n";
    // A whole file of UTF-8 (the usual case) is checked in one pass; otherwise line by line, so
    // that the lines in the single-byte code page are converted and the others kept as they are.
    const bool allUtf8 = cp1252::IsValidUtf8(content);
    Lines.reserve(static_cast<std::size_t>(std::count(content.begin(), content.end(), '\n')) + 1);
    for (std::string_view rest = content; !rest.empty();) {
        std::string_view line = NextLine(rest);
        if (!allUtf8 && !cp1252::IsValidUtf8(line))
            line = Own(cp1252::ToUtf8(line));
        Lines.push_back(line);
    }
}

// Reads the whole file into `content`; false when it exists and may not be read. The file is
// opened without waiting (a named pipe would block the open until a writer comes) and checked
// on the open descriptor, so what is read is what was checked.
bool ReadWholeFile(const std::filesystem::path& file, std::string& content)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR;
    struct stat st { };
    bool ok = ::fstat(fd, &st) == 0 && IsRegularAndSmallEnough(st);
    if (ok) {
        // One allocation for the whole text: a buffer grown as the bytes come costs a copy and
        // fresh pages at every doubling, most of the start-up time with a full phonebook.
        content.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (ok) {
            if (done == content.size()) {
                // The file grew since it was measured: read on, up to the limit.
                if (content.size() > MaxFileSize) {
                    ok = false;
                    break;
                }
                content.resize(std::max<std::size_t>(2 * content.size(), 4096));
            }
            const ssize_t n = ::read(fd, content.data() + done, content.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                ok = n == 0;
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        content.resize(done);
        ok = ok && content.size() <= MaxFileSize;
    }
    ::close(fd);
    return ok;
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

// The six characters mkstemp puts in place of "XXXXXX".
bool IsTemporarySuffix(std::string_view suffix)
{
    return suffix.size() == 6 && std::all_of(suffix.begin(), suffix.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The writers' rule: what a write would not give back as it was given, ignoring blanks at the
// ends when `trimmed` (WriteString trims them itself).
bool KeyWritable(std::string_view key, bool trimmed)
{
    const TTextProblem problem = KeyProblem(trimmed ? Trim(key) : key);
    return problem == TTextProblem::None;
}

bool ValueWritable(std::string_view value, bool trimmed)
{
    const TTextProblem problem = ValueProblem(value);
    return problem == TTextProblem::None || (trimmed && problem == TTextProblem::BlankAtEnd);
}

} // namespace

TFileStamp FileStamp(const std::filesystem::path& file)
{
    struct stat st { };
    if (::stat(file.c_str(), &st) != 0)
        return {};
    const auto nanoseconds = [](const timespec& time) {
        return std::int64_t { time.tv_sec } * 1'000'000'000 + time.tv_nsec;
    };
    return { true, st.st_dev, st.st_ino, st.st_size, nanoseconds(st.st_mtim),
        nanoseconds(st.st_ctim) };
}

std::optional<std::string> FileProblem(const std::filesystem::path& file)
{
    struct stat st { };
    if (::stat(file.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        return "it cannot be read: " + std::generic_category().message(errno);
    }
    if (S_ISDIR(st.st_mode))
        return "it is a folder, not a file";
    if (S_ISFIFO(st.st_mode))
        return "it is a named pipe, not a file";
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return "it is a device, not a file";
    if (!S_ISREG(st.st_mode))
        return "it is not a regular file";
    if (static_cast<std::uintmax_t>(st.st_size) > MaxFileSize)
        return "it is larger than 64 MiB, far larger than any settings file";
    if (::access(file.c_str(), R_OK) != 0)
        return "it cannot be read: " + std::generic_category().message(errno);
    return std::nullopt;
}

std::string WriteFailureText(const std::filesystem::path& file)
{
    std::string text = "Unable to write to " + file.string();
    if (const auto problem = FileProblem(file))
        text += ": " + *problem;
    return text;
}

TTextProblem KeyProblem(std::string_view key)
{
    if (HasLineBreakOrNul(key))
        return TTextProblem::LineBreakOrNul;
    if (!cp1252::IsValidUtf8(key))
        return TTextProblem::NotUtf8;
    if (key.find('=') != std::string_view::npos)
        return TTextProblem::HoldsEquals;
    if (!key.empty() && (IsBlank(key.front()) || IsBlank(key.back())))
        return TTextProblem::BlankAtEnd;
    if (!key.empty() && (key.front() == '[' || key.front() == ';'))
        return TTextProblem::StartsLikeHeaderOrComment;
    return TTextProblem::None;
}

TTextProblem ValueProblem(std::string_view value)
{
    if (HasLineBreakOrNul(value))
        return TTextProblem::LineBreakOrNul;
    if (!cp1252::IsValidUtf8(value))
        return TTextProblem::NotUtf8;
    if (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back())))
        return TTextProblem::BlankAtEnd;
    return TTextProblem::None;
}

bool WriteFileAtomically(
    const std::filesystem::path& path, std::string_view content, std::size_t failAfterBytes)
{
    const std::filesystem::path file = ResolveLinks(path);
    // Only a regular file is ever replaced: a link to a device or a pipe must not turn into a
    // file, and nothing is made beside it.
    struct stat target { };
    if (::stat(file.c_str(), &target) == 0 && !IsRegularAndSmallEnough(target))
        return false;
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

std::optional<std::string> ReadValue(
    const std::filesystem::path& file, std::string_view section, std::string_view key)
{
    // One value needs the lines up to the end of its section only, taken as TParsedFile takes
    // them: with a full phonebook after [Settings], splitting and checking the whole file for
    // each value read cost a start milliseconds apiece.
    std::string content;
    if (!ReadWholeFile(file, content))
        return std::nullopt;
    bool inSection = false;
    std::string converted;
    for (std::string_view rest = WithoutByteOrderMark(content); !rest.empty();) {
        std::string_view line = NextLine(rest);
        if (!cp1252::IsValidUtf8(line)) {
            converted = cp1252::ToUtf8(line);
            line = converted;
        }
        if (const auto name = SectionName(line)) {
            // Only the first section of the name counts.
            if (inSection)
                return std::nullopt;
            inSection = EqualsNoCase(*name, Trim(section));
            continue;
        }
        if (!inSection)
            continue;
        if (const auto entry = EntryOf(line); entry && EqualsNoCase(entry->Key, Trim(key)))
            return std::string(entry->Value);
    }
    return std::nullopt;
}

std::string ReadString(const std::filesystem::path& file, std::string_view section,
    std::string_view key, std::string_view defaultValue)
{
    return ReadValue(file, section, key).value_or(std::string(defaultValue));
}

bool WriteString(const std::filesystem::path& file, std::string_view section, std::string_view key,
    std::string_view value)
{
    if (!IsStorableSection(section) || !KeyWritable(key, true) || !ValueWritable(value, true))
        return false;
    TParsedFile parsed(file);
    if (!parsed.Usable())
        return false;
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
    const bool storable = std::all_of(entries.begin(), entries.end(), [](const TProfileEntry& e) {
        return KeyWritable(e.Key, false) && ValueWritable(e.Value, false);
    });
    if (!IsStorableSection(section) || !storable)
        return false;
    TParsedFile parsed(file);
    if (!parsed.Usable())
        return false;
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

std::size_t RemoveStaleTemporaries(const std::filesystem::path& file)
{
    const std::filesystem::path target = ResolveLinks(file);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    const std::string prefix = target.filename().string() + ".";
    std::size_t removed = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0
            || !IsTemporarySuffix(std::string_view(name).substr(prefix.size())))
            continue;
        struct stat st { };
        if (::lstat(entry.path().c_str(), &st) == 0 && S_ISREG(st.st_mode)
            && st.st_uid == ::geteuid() && ::unlink(entry.path().c_str()) == 0)
            ++removed;
    }
    return removed;
}

} // namespace quillet::profile
