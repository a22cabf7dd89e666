#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillet::skin {

struct TSkinPackageEntry {
    std::string Name;
    std::vector<std::uint8_t> Bytes;
};

// The stored container (count, expanded size, code stream) of a package of version 20000 that
// holds `entries` in the given order, each name followed by CR LF; the reserved header bytes are
// zero. Throws std::invalid_argument, naming the cause, for entries that no reader could find
// again: an empty name, a name with a line break, two names that differ only in letter case, or
// a package larger than readers accept (in bytes or in entries).
std::vector<std::uint8_t> BuildSkinContainer(std::span<const TSkinPackageEntry> entries);

} // namespace quillet::skin
