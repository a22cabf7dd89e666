#pragma once

#include "skin/LzhufFormat.h"

#include <array>
#include <cstdint>

namespace quillet::skin {

// The adaptive Huffman tree of the LZHUF coding, shared by the encoder and the decoder: both
// start from the same tree and update it after every symbol, so they stay in step.
//
// Layout: nodes 0..NodeCount-1 are kept in order of non-decreasing frequency; the root is the
// last. Siblings occupy an even position and the odd one after it. Sons[n] is the position of
// node n's first son, or NodeCount + symbol for a leaf; Parents[n] is the parent of node n, and
// Parents[NodeCount + symbol] the position of the symbol's leaf. Frequencies[NodeCount] is a
// sentinel larger than any frequency, which ends the search for a swap partner.
class TAdaptiveHuffman {
public:
    // A symbol's code: `Length` bits, the root's side first, in the low bits of `Bits`.
    struct TCode {
        std::uint64_t Bits;
        int Length;
    };

    TAdaptiveHuffman();

    // Back to the starting tree: every symbol with frequency 1.
    void Reset();

    TCode CodeOf(int symbol) const;

    // Decoding walks from Son(RootNode): at an inner node, the next bit picks Son(node + bit);
    // a position of NodeCount or more is the leaf of symbol position - NodeCount.
    int Son(int node) const { return Sons[static_cast<std::size_t>(node)]; }
    std::uint32_t Frequency(int node) const { return Frequencies[static_cast<std::size_t>(node)]; }

    // Counts one more occurrence of `symbol` and restores the frequency order.
    void Update(int symbol);

private:
    void Rebuild();

    std::array<std::uint32_t, lzhuf::NodeCount + 1> Frequencies {};
    std::array<int, lzhuf::NodeCount + lzhuf::SymbolCount> Parents {};
    std::array<int, lzhuf::NodeCount> Sons {};
};

} // namespace quillet::skin
