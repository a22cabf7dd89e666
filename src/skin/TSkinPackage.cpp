#include "skin/TSkinPackage.h"

#include "skin/Lzhuf.h"
#include "skin/SkinText.h"

namespace quillet::skin {
namespace {

constexpr std::size_t HeaderSize = 16;

// Calls `take` with each name of the name table, in order: the table splits at CR LF, a lone
// CR or a lone LF; a line break at the end adds no empty name, one inside the table does.
template <class TTake> void ForEachName(std::string_view table, TTake take)
{
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < table.size()) {
        const char c = table[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        take(table.substr(start, i - start));
        if (c == '\r' && i + 1 < table.size() && table[i + 1] == '\n')
            ++i;
        start = ++i;
    }
    if (start < table.size())
        take(table.substr(start));
}

} // namespace

bool TSkinPackage::ReadPackage(std::span<const std::uint8_t> container)
{
    ClearEntries();
    LastFault = TPackageFault::None;
    LastFaultText.clear();
    if (Parse(container))
        return true;
    ClearEntries();
    return false;
}

void TSkinPackage::ClearEntries()
{
    // Let go of the memory too: a refused package may have expanded to many megabytes.
    Expanded = {};
    Names.clear();
    Offsets.clear();
    Sizes.clear();
}

bool TSkinPackage::Refuse(TPackageFault fault, std::string text)
{
    LastFault = fault;
    LastFaultText = std::move(text);
    return false;
}

bool TSkinPackage::Parse(std::span<const std::uint8_t> container)
{
    const auto damaged
        = [this](std::string text) { return Refuse(TPackageFault::Damaged, std::move(text)); };
    if (container.size() < 4)
        return damaged("too short for a skin package (" + std::to_string(container.size())
            + " bytes, no count)");
    const std::int64_t count = text::ReadInt32(container.data());
    const std::size_t following = container.size() - 4;
    if (count < 0)
        return damaged(
            "the count of bytes that follow is negative (" + std::to_string(count) + ")");
    if (static_cast<std::uint64_t>(count) != following)
        return damaged("the count says " + std::to_string(count) + " bytes follow, but "
            + std::to_string(following) + " do");
    if (count < 4)
        return damaged("the compressed stream is too short to hold the expanded size");

    const std::int32_t expandedSize = text::ReadInt32(container.data() + 4);
    if (expandedSize < 0)
        return damaged("the expanded size is negative (" + std::to_string(expandedSize) + ")");
    if (expandedSize > MaxExpandedSize)
        return damaged("the expanded size (" + std::to_string(expandedSize)
            + " bytes) is above the limit of " + std::to_string(MaxExpandedSize) + " bytes");
    if (!LzhufDecode(container.subspan(8), static_cast<std::size_t>(expandedSize), Expanded))
        return damaged("the compressed stream ends before the package's "
            + std::to_string(expandedSize) + " bytes are expanded");

    const std::size_t size = Expanded.size();
    if (size < HeaderSize)
        return damaged(
            "the package (" + std::to_string(size) + " bytes) is too short for its 16-byte header");
    const std::int32_t version = text::ReadInt32(Expanded.data());
    if (version != PackageVersion)
        return Refuse(TPackageFault::WrongVersion,
            "package version " + std::to_string(version) + ", expected "
                + std::to_string(PackageVersion));
    const std::int32_t tableLength = text::ReadInt32(Expanded.data() + 4);
    if (tableLength < 0)
        return damaged("the name table's length is negative (" + std::to_string(tableLength) + ")");
    if (static_cast<std::size_t>(tableLength) > size - HeaderSize)
        return damaged("the name table (" + std::to_string(tableLength)
            + " bytes) runs past the end of the package (" + std::to_string(size) + " bytes)");

    const std::size_t tableEnd = HeaderSize + static_cast<std::size_t>(tableLength);
    const std::string_view table
        = text::AsText(std::span(Expanded).subspan(HeaderSize, tableEnd - HeaderSize));
    std::size_t n = 0;
    ForEachName(table, [&n](std::string_view) { ++n; });
    if (n > MaxEntries)
        return damaged("the name table holds " + std::to_string(n) + " names, more than the "
            + std::to_string(MaxEntries) + " a package may hold");
    if (n > (size - tableEnd) / 4)
        return damaged("the size table of " + std::to_string(n)
            + " entries runs past the end of the package (" + std::to_string(size) + " bytes)");
    Names.reserve(n);
    ForEachName(table, [this](std::string_view name) { Names.push_back(text::AsciiLower(name)); });

    const std::size_t dataStart = tableEnd + 4 * n;
    const std::size_t dataSize = size - dataStart;
    std::size_t offset = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::int32_t entrySize = text::ReadInt32(Expanded.data() + tableEnd + 4 * i);
        if (entrySize < 0)
            return damaged("entry " + text::Quoted(Names[i]) + " has a negative size ("
                + std::to_string(entrySize) + ")");
        if (static_cast<std::size_t>(entrySize) > dataSize - offset)
            return damaged("entry " + text::Quoted(Names[i]) + " (" + std::to_string(entrySize)
                + " bytes) runs past the end of the data area (" + std::to_string(dataSize)
                + " bytes)");
        Offsets.push_back(dataStart + offset);
        Sizes.push_back(static_cast<std::size_t>(entrySize));
        offset += static_cast<std::size_t>(entrySize);
    }
    return true;
}

std::span<const std::uint8_t> TSkinPackage::EntryBytes(std::size_t index) const
{
    return std::span(Expanded).subspan(Offsets[index], Sizes[index]);
}

std::optional<std::size_t> TSkinPackage::FindEntry(std::string_view name) const
{
    const std::string lowered = text::AsciiLower(name);
    for (std::size_t i = 0; i < Names.size(); ++i) {
        if (Names[i] == lowered)
            return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> TSkinPackage::FindEntryByFragment(std::string_view fragment) const
{
    const std::string lowered = text::AsciiLower(fragment);
    for (std::size_t i = 0; i < Names.size(); ++i) {
        if (Names[i].find(lowered) != std::string::npos)
            return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> TSkinPackage::FindBitmapEntry(std::string_view value) const
{
    // Descriptions come from Windows: folders end at a backslash or a drive's colon; a slash is
    // taken as a folder end as well.
    const std::size_t folderEnd = value.find_last_of("\\/:");
    const std::string_view fileName
        = folderEnd == std::string_view::npos ? value : value.substr(folderEnd + 1);
    const std::size_t dot = fileName.rfind('.');
    if (fileName.empty() || dot == std::string_view::npos
        || !text::EqualsNoCase(fileName.substr(dot), ".bmp"))
        return std::nullopt;
    return FindEntry(fileName);
}

void TSkinPackage::CopyEntry(
    std::optional<std::size_t> index, std::vector<std::uint8_t>& target) const
{
    target.clear();
    if (!index)
        return;
    const auto bytes = EntryBytes(*index);
    target.assign(bytes.begin(), bytes.end());
}

void TSkinPackage::EntryByName(std::string_view name, std::vector<std::uint8_t>& target) const
{
    CopyEntry(FindEntry(name), target);
}

std::string TSkinPackage::EntryByFragment(
    std::string_view fragment, std::vector<std::uint8_t>& target) const
{
    const std::optional<std::size_t> index = FindEntryByFragment(fragment);
    CopyEntry(index, target);
    return index ? Names[*index] : std::string();
}

void TSkinPackage::BitmapEntry(std::string_view value, std::vector<std::uint8_t>& target) const
{
    CopyEntry(FindBitmapEntry(value), target);
}

} // namespace quillet::skin
