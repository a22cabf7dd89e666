#include "skin/SkinTool.h"

#include "platform/ProfileFile.h"
#include "skin/SkinLimits.h"
#include "skin/SkinPackageWriter.h"
#include "skin/SkinText.h"
#include "skin/TSkinPackage.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <set>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace quillet::skin {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view HelpText = R"(Usage: quillet-skin list FILE
       quillet-skin extract FILE DIR
       quillet-skin pack DIR FILE
       quillet-skin --help

Lists, unpacks and builds Quillet skin packages.

  list FILE         Print one line per entry of the package: its name as the reader keeps
                    it (lower case), a tab, its size in bytes.
  extract FILE DIR  Write every entry of the package to DIR under that name (DIR is made
                    when missing; files already there are replaced).
  pack DIR FILE     Store every regular file of DIR (not its subfolders), in byte order of
                    the names, in a new package FILE of version 20000. The first file whose
                    name contains ".ini" (in any letter case) is the skin description: pack
                    refuses a folder without one, or with one over 1 MiB, which Quillet
                    would not use.
  --help            Show this text.

FILE is a stored skin container: the number of bytes that follow, the size of the package
once expanded, and the package compressed with LZHUF (LZSS with adaptive Huffman coding),
the numbers 32-bit little-endian. The package holds a name table (one name per line), a
size table and the entries' bytes: the skin description (an INI text) and its bitmaps.
Lookups ignore letter case, so pack refuses two files whose names differ only in case.

Exit status: 0 on success; 1 when FILE is not a valid package of version 20000, DIR holds no
skin description Quillet would use, or a file cannot be read or written, with one line on
standard error saying what is wrong; 2 for a wrong command line.
)";

static_assert(
    TSkinLimits {}.MaxDescriptionBytes == std::size_t { 1024 } * 1024, "the help text says 1 MiB");

// No valid container is larger: even its longest codes store a byte in fewer than three, and
// packages expand to at most TSkinPackage::MaxExpandedSize.
constexpr std::size_t MaxContainerSize
    = 8 + 3 * static_cast<std::size_t>(TSkinPackage::MaxExpandedSize);

class TToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string SystemError()
{
    return std::error_code(errno, std::generic_category()).message();
}

// Reads a whole file, refusing one larger than `limit` bytes before it fills the memory.
std::vector<std::uint8_t> ReadFile(const fs::path& file, std::size_t limit)
{
    std::error_code ec;
    if (fs::is_directory(file, ec))
        throw TToolError(file.string() + ": is a folder, not a file");
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw TToolError(file.string() + ": cannot open: " + SystemError());
    std::vector<std::uint8_t> bytes;
    std::vector<char> buffer(65536);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buffer.data(), buffer.data() + in.gcount());
        if (bytes.size() > limit)
            throw TToolError(file.string() + ": larger than " + std::to_string(limit) + " bytes");
    }
    if (in.bad())
        throw TToolError(file.string() + ": cannot read: " + SystemError());
    return bytes;
}

void WriteFile(const fs::path& file, std::span<const std::uint8_t> bytes)
{
    errno = 0;
    if (!profile::WriteFileAtomically(file, text::AsText(bytes)))
        throw TToolError(file.string() + ": cannot write: " + SystemError());
}

TSkinPackage ReadPackageFile(const std::string& file)
{
    TSkinPackage package;
    if (!package.ReadPackage(ReadFile(file, MaxContainerSize)))
        throw TToolError(file + ": not a valid skin package: " + package.FaultText());
    return package;
}

// An entry name becomes a file name in the target folder only when it stays inside it.
void CheckNamesForExtract(const TSkinPackage& package)
{
    std::set<std::string_view> seen;
    for (std::size_t i = 0; i < package.EntryCount(); ++i) {
        const std::string& name = package.EntryName(i);
        if (name.empty() || name == "." || name == ".."
            || name.find_first_of(std::string_view("/\0", 2)) != std::string::npos)
            throw TToolError("entry name " + text::Quoted(name) + " cannot be a file name");
        if (!seen.insert(name).second)
            throw TToolError("two entries are called " + text::Quoted(name));
    }
}

void List(const std::string& file, std::ostream& out)
{
    const TSkinPackage package = ReadPackageFile(file);
    for (std::size_t i = 0; i < package.EntryCount(); ++i)
        out << package.EntryName(i) << '\t' << package.EntryBytes(i).size() << '\n';
}

void Extract(const std::string& file, const fs::path& folder)
{
    const TSkinPackage package = ReadPackageFile(file);
    try {
        CheckNamesForExtract(package);
    } catch (const TToolError& e) {
        throw TToolError(file + ": " + e.what());
    }
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder))
        throw TToolError(folder.string() + ": cannot make the folder: "
            + (ec ? ec.message() : "a file of that name is in the way"));
    for (std::size_t i = 0; i < package.EntryCount(); ++i)
        WriteFile(folder / package.EntryName(i), package.EntryBytes(i));
}

// Quillet takes the first entry whose name contains ".ini" as the skin description and uses
// no package without one, or with one longer than it reads.
void CheckDescription(const fs::path& folder, std::span<const TSkinPackageEntry> entries)
{
    const auto description = std::find_if(entries.begin(), entries.end(), [](const auto& entry) {
        return text::AsciiLower(entry.Name).find(DescriptionFragment) != std::string::npos;
    });
    if (description == entries.end())
        throw TToolError(folder.string() + ": no skin description (a file whose name contains \""
            + DescriptionFragment + "\"), so Quillet could not use the package");
    const std::size_t limit = TSkinLimits {}.MaxDescriptionBytes;
    if (description->Bytes.size() > limit)
        throw TToolError((folder / description->Name).string() + ": the skin description is "
            + std::to_string(description->Bytes.size()) + " bytes long, more than the "
            + std::to_string(limit) + " bytes Quillet reads");
}

void Pack(const fs::path& folder, const fs::path& file)
{
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        throw TToolError(folder.string() + ": not a folder");
    std::vector<fs::path> paths;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        // A package already at the output path is not packed into its successor.
        if (it->is_regular_file(entryError) && !fs::equivalent(it->path(), file, entryError))
            paths.push_back(it->path());
    }
    if (ec)
        throw TToolError(folder.string() + ": cannot list: " + ec.message());
    std::sort(paths.begin(), paths.end(), [](const fs::path& a, const fs::path& b) {
        return a.filename().string() < b.filename().string();
    });

    std::vector<TSkinPackageEntry> entries;
    entries.reserve(paths.size());
    for (const fs::path& path : paths)
        entries.push_back({ path.filename().string(),
            ReadFile(path, static_cast<std::size_t>(TSkinPackage::MaxExpandedSize)) });
    std::vector<std::uint8_t> container;
    try {
        container = BuildSkinContainer(entries);
    } catch (const std::invalid_argument& e) {
        throw TToolError(folder.string() + ": " + e.what());
    }
    CheckDescription(folder, entries);
    WriteFile(file, container);
}

} // namespace

int RunSkinTool(std::span<const std::string> args, std::ostream& out, std::ostream& err)
{
    const auto usage = [&err](const std::string& problem) {
        err << "quillet-skin: " << problem << "\nTry 'quillet-skin --help'.\n";
        return 2;
    };
    if (args.empty())
        return usage("no command given");
    const std::string& command = args[0];
    if (command == "--help") {
        out << HelpText;
        return 0;
    }
    const std::size_t expected = command == "list"    ? 2
        : (command == "extract" || command == "pack") ? 3
                                                      : 0;
    if (expected == 0)
        return usage("unknown command \"" + command + "\"");
    if (args.size() != expected)
        return usage(command + " takes " + (expected == 2 ? "1 argument" : "2 arguments") + ", not "
            + std::to_string(args.size() - 1));
    try {
        if (command == "list")
            List(args[1], out);
        else if (command == "extract")
            Extract(args[1], args[2]);
        else
            Pack(args[1], args[2]);
        if (!out.flush())
            throw TToolError("cannot write to standard output");
    } catch (const std::exception& e) {
        // Our own errors, and the library's (memory, file system) as a last resort.
        err << "quillet-skin: " << e.what() << '\n';
        return 1;
    }
    return 0;
}

} // namespace quillet::skin
