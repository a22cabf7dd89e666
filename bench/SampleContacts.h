#pragma once

#include <array>
#include <string>

namespace quillet::bench {

// The entry line ("name=address,port,style") of the `index`-th contact of a sample phonebook.
// The names are made as people's names with a number (17 to 24 characters, most beyond the size a
// string keeps without a heap block) and all end in six digits, so whole lines sort as their
// names do. Styles cycle through the three.
inline std::string SampleContactLine(int index)
{
    static const std::array<const char*, 8> first
        = { "Alice", "Bernard", "Chloe", "Dmitri", "Elena", "Farid", "Grace", "Hugo" };
    static const std::array<const char*, 8> last
        = { "Martin", "Okafor", "Lindqvist", "Moreau", "Tanaka", "Silva", "Novak", "Reyes" };
    const auto at = [](int i) { return static_cast<std::size_t>(i % 8); };
    return std::string(first[at(index)]) + ' ' + last[at(index / 8)] + ' '
        + std::to_string(100000 + index) + "=10." + std::to_string(index / 65536) + '.'
        + std::to_string(index / 256 % 256) + '.' + std::to_string(index % 256) + ",2323,"
        + std::to_string(1 + index % 3);
}

} // namespace quillet::bench
