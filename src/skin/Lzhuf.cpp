#include "skin/Lzhuf.h"

#include "skin/LzhufFormat.h"
#include "skin/TAdaptiveHuffman.h"
#include "skin/TBitReader.h"
#include "skin/TBitWriter.h"
#include "skin/TLzMatchFinder.h"

#include <algorithm>
#include <array>

namespace quillet::skin {

using namespace lzhuf;

namespace {

void WriteSymbol(TBitWriter& bits, TAdaptiveHuffman& tree, int symbol)
{
    const TAdaptiveHuffman::TCode code = tree.CodeOf(symbol);
    if (code.Length > 32)
        bits.Write(code.Bits >> 32, code.Length - 32);
    bits.Write(code.Bits, std::min(code.Length, 32));
    tree.Update(symbol);
}

// `position` is the distance minus one.
void WritePosition(TBitWriter& bits, std::size_t position)
{
    const std::size_t upper = position >> 6;
    bits.Write(PositionCodes[upper], PositionCodeLengths[upper]);
    bits.Write(position & 0x3F, 6);
}

bool ReadSymbol(TBitReader& bits, TAdaptiveHuffman& tree, int& symbol)
{
    int node = tree.Son(RootNode);
    while (node < NodeCount) {
        unsigned bit = 0;
        if (!bits.ReadBit(bit))
            return false;
        node = tree.Son(node + static_cast<int>(bit));
    }
    symbol = node - NodeCount;
    tree.Update(symbol);
    return true;
}

bool ReadPosition(TBitReader& bits, std::size_t& position)
{
    unsigned first = 0;
    if (!bits.ReadBits(8, first))
        return false;
    const TPositionPrefix prefix = PositionPrefixes[first];
    // Eight bits held the code and 8 - length lower bits; the other lower bits follow.
    unsigned rest = 0;
    const int missing = prefix.CodeLength - 2;
    if (!bits.ReadBits(missing, rest))
        return false;
    const unsigned lower = ((first << missing) | rest) & 0x3Fu;
    position = (std::size_t { prefix.UpperBits } << 6) | lower;
    return true;
}

} // namespace

std::vector<std::uint8_t> LzhufEncode(std::span<const std::uint8_t> input)
{
    TBitWriter bits;
    TAdaptiveHuffman tree;
    TLzMatchFinder finder(input);
    std::size_t offset = 0;
    while (offset < input.size()) {
        const TLzMatchFinder::TMatch match = finder.LongestMatch(offset);
        std::size_t taken = 1;
        if (match.Length >= MinMatch) {
            WriteSymbol(bits, tree, FirstMatchSymbol + static_cast<int>(match.Length - MinMatch));
            WritePosition(bits, match.Distance - 1);
            taken = match.Length;
        } else {
            WriteSymbol(bits, tree, input[offset]);
        }
        for (std::size_t i = 0; i < taken; ++i)
            finder.Enter(offset + i);
        offset += taken;
    }
    return bits.Finish();
}

bool LzhufDecode(
    std::span<const std::uint8_t> code, std::size_t expandedSize, std::vector<std::uint8_t>& out)
{
    out.clear();
    // Checked before anything is allocated: a declared size is only a promise of the input.
    if ((expandedSize + MaxExpansionPerCodeByte - 1) / MaxExpansionPerCodeByte > code.size())
        return false;
    std::array<std::uint8_t, RingSize> ring {};
    std::fill_n(ring.begin(), RingFill, Blank);
    std::size_t r = RingFill;
    TAdaptiveHuffman tree;
    TBitReader bits(code);

    // Allocated once: growing by doubling would hold the old and the new buffer at once.
    out.resize(expandedSize);
    std::size_t produced = 0;
    while (produced < expandedSize) {
        int symbol = 0;
        if (!ReadSymbol(bits, tree, symbol)) {
            out.clear();
            return false;
        }
        if (symbol < FirstMatchSymbol) {
            const auto byte = static_cast<std::uint8_t>(symbol);
            ring[r] = byte;
            r = (r + 1) & RingMask;
            out[produced++] = byte;
            continue;
        }
        std::size_t position = 0;
        if (!ReadPosition(bits, position)) {
            out.clear();
            return false;
        }
        const std::size_t length
            = std::min(static_cast<std::size_t>(symbol - FirstMatchSymbol) + MinMatch,
                expandedSize - produced);
        std::size_t from = (r - position - 1) & RingMask;
        for (std::size_t k = 0; k < length; ++k) {
            const std::uint8_t byte = ring[from];
            from = (from + 1) & RingMask;
            ring[r] = byte;
            r = (r + 1) & RingMask;
            out[produced++] = byte;
        }
    }
    return true;
}

} // namespace quillet::skin
