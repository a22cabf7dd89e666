#include "skin/SkinPackageWriter.h"

#include "skin/Lzhuf.h"
#include "skin/SkinText.h"
#include "skin/TSkinPackage.h"

#include <stdexcept>
#include <unordered_set>

namespace quillet::skin {

std::vector<std::uint8_t> BuildSkinContainer(std::span<const TSkinPackageEntry> entries)
{
    std::string nameTable;
    std::unordered_set<std::string> lowered;
    std::uint64_t total = 16;
    if (entries.size() > TSkinPackage::MaxEntries)
        throw std::invalid_argument(
            "more than " + std::to_string(TSkinPackage::MaxEntries) + " entries");
    for (const TSkinPackageEntry& entry : entries) {
        const std::string quoted = text::Quoted(entry.Name);
        if (entry.Name.empty())
            throw std::invalid_argument("an entry has an empty name");
        if (entry.Name.find_first_of("\r\n") != std::string::npos)
            throw std::invalid_argument("the name " + quoted + " holds a line break");
        if (!lowered.insert(text::AsciiLower(entry.Name)).second)
            throw std::invalid_argument(
                "the name " + quoted + " differs from an earlier one only in letter case");
        nameTable += entry.Name;
        nameTable += "\r\n";
        total += entry.Name.size() + 2 + 4 + entry.Bytes.size();
        if (total > static_cast<std::uint64_t>(TSkinPackage::MaxExpandedSize))
            throw std::invalid_argument("the package would be larger than "
                + std::to_string(TSkinPackage::MaxExpandedSize) + " bytes");
    }

    std::vector<std::uint8_t> package;
    package.reserve(static_cast<std::size_t>(total));
    text::AppendInt32(package, TSkinPackage::PackageVersion);
    text::AppendInt32(package, static_cast<std::int32_t>(nameTable.size()));
    package.insert(package.end(), 8, 0);
    package.insert(package.end(), nameTable.begin(), nameTable.end());
    for (const TSkinPackageEntry& entry : entries)
        text::AppendInt32(package, static_cast<std::int32_t>(entry.Bytes.size()));
    for (const TSkinPackageEntry& entry : entries)
        package.insert(package.end(), entry.Bytes.begin(), entry.Bytes.end());

    const std::vector<std::uint8_t> code = LzhufEncode(package);
    std::vector<std::uint8_t> container;
    container.reserve(8 + code.size());
    // The count fits: the code stream of at most 64 MiB stays well under 2 GiB.
    text::AppendInt32(container, static_cast<std::int32_t>(4 + code.size()));
    text::AppendInt32(container, static_cast<std::int32_t>(package.size()));
    container.insert(container.end(), code.begin(), code.end());
    return container;
}

} // namespace quillet::skin
