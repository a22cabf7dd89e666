#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The LZHUF coding of skin packages (layout and parameters in skin/LzhufFormat.h). Both
// functions work on the code stream alone; the expanded size that travels with it is the
// caller's.
namespace quillet::skin {

std::vector<std::uint8_t> LzhufEncode(std::span<const std::uint8_t> input);

// Expands `code` into exactly `expandedSize` bytes. Never writes more than that and never reads
// past `code`: when the code stream ends before that many bytes are produced, `out` is left
// empty and the result is false. Bits after the last needed symbol are ignored. A declared size
// that no stream of this length can reach (lzhuf::MaxExpansionPerCodeByte) is refused before
// anything is allocated, so a huge declared size over a short stream costs nothing.
bool LzhufDecode(
    std::span<const std::uint8_t> code, std::size_t expandedSize, std::vector<std::uint8_t>& out);

} // namespace quillet::skin
