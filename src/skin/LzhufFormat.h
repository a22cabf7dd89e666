#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The parameters of the skin package's LZHUF coding (LZSS with adaptive Huffman coding).
//
// The code stream is a sequence of symbols, each coded with an adaptive Huffman tree over 314
// symbols: 0..255 are literal bytes, 256..313 are matches of 3..60 bytes. A match symbol is
// followed by its position code: the match's distance minus one (0..4095), whose upper 6 bits are
// coded with a fixed prefix code of 3 to 8 bits and whose lower 6 bits follow as they are. Bits
// go out most significant first; the last byte is padded with zero bits.
//
// Distances count back from the current write position of a 4096-byte ring whose first 4036
// bytes start as blanks and whose write position starts at 4036, so an encoder can refer to
// those blanks before any byte was written. The stream carries no end mark: decoding stops when
// the expanded size, which travels beside the stream, has been produced.
namespace quillet::skin::lzhuf {

inline constexpr std::size_t RingSize = 4096;
inline constexpr std::size_t RingMask = RingSize - 1;
// Blanks at the start of the ring; writing starts right after them.
inline constexpr std::size_t RingFill = 4036;
inline constexpr std::uint8_t Blank = 0x20;

inline constexpr std::size_t MaxMatch = 60;
// Matches no longer than this go out as literals.
inline constexpr std::size_t Threshold = 2;
inline constexpr std::size_t MinMatch = Threshold + 1;
// A match of length n is the symbol FirstMatchSymbol + n - MinMatch.
inline constexpr int FirstMatchSymbol = 256;

inline constexpr int SymbolCount = 256 - static_cast<int>(Threshold) + static_cast<int>(MaxMatch);
inline constexpr int NodeCount = 2 * SymbolCount - 1;
inline constexpr int RootNode = NodeCount - 1;
// The tree is rebuilt with halved frequencies when the root's frequency reaches this.
inline constexpr std::uint32_t RebuildFrequency = 0x8000;

// Code lengths of the upper 6 position bits: one 3-bit code, then 3, 8, 12, 24 and 16 codes of 4
// to 8 bits. The codes themselves are canonical: each is the previous one plus one, shifted left
// when the length grows. (The lengths fill the code space exactly.)
inline constexpr std::array<std::uint8_t, 64> PositionCodeLengths
    = { 3, 4, 4, 4, 5, 5, 5, 5, 5, 5, 5, 5, 6, 6, 6, 6, //
          6, 6, 6, 6, 6, 6, 6, 6, 7, 7, 7, 7, 7, 7, 7, 7, //
          7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, //
          8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8 };

// The position codes, each in the low PositionCodeLengths[i] bits.
inline constexpr std::array<std::uint8_t, 64> PositionCodes = [] {
    std::array<std::uint8_t, 64> codes {};
    unsigned code = 0;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (i > 0)
            code = (code + 1) << (PositionCodeLengths[i] - PositionCodeLengths[i - 1]);
        codes[i] = static_cast<std::uint8_t>(code);
    }
    return codes;
}();

// No code stream expands to more than this many bytes per byte of code: every symbol takes at
// least one bit, and a match, which gives at most MaxMatch bytes, also its position's shortest
// code and six lower bits. A declared size beyond that cannot be reached.
inline constexpr std::size_t MaxExpansionPerCodeByte
    = 8 * MaxMatch / (1 + std::size_t { PositionCodeLengths[0] } + 6);
static_assert(PositionCodeLengths[0] == 3 && MaxExpansionPerCodeByte == 48);

// For decoding: the upper position bits and the code length of every 8-bit prefix. Every code
// is at most 8 bits long, so the first 8 bits of a position always hold its whole code.
struct TPositionPrefix {
    std::uint8_t UpperBits;
    std::uint8_t CodeLength;
};
inline constexpr std::array<TPositionPrefix, 256> PositionPrefixes = [] {
    std::array<TPositionPrefix, 256> table {};
    for (std::size_t i = 0; i < PositionCodes.size(); ++i) {
        const unsigned shift = 8u - PositionCodeLengths[i];
        const unsigned first = static_cast<unsigned>(PositionCodes[i]) << shift;
        for (unsigned b = first; b < first + (1u << shift); ++b)
            table[b] = { static_cast<std::uint8_t>(i), PositionCodeLengths[i] };
    }
    return table;
}();

} // namespace quillet::skin::lzhuf
