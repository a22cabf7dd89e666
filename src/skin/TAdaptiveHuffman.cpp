#include "skin/TAdaptiveHuffman.h"

#include <algorithm>
#include <cassert>

namespace quillet::skin {

using lzhuf::NodeCount;
using lzhuf::RootNode;
using lzhuf::SymbolCount;

TAdaptiveHuffman::TAdaptiveHuffman()
{
    Reset();
}

void TAdaptiveHuffman::Reset()
{
    for (int i = 0; i < SymbolCount; ++i) {
        Frequencies[i] = 1;
        Sons[i] = i + NodeCount;
        Parents[i + NodeCount] = i;
    }
    // Inner nodes join the nodes two by two, in order.
    for (int i = 0, j = SymbolCount; j <= RootNode; i += 2, ++j) {
        Frequencies[j] = Frequencies[i] + Frequencies[i + 1];
        Sons[j] = i;
        Parents[i] = Parents[i + 1] = j;
    }
    Frequencies[NodeCount] = 0xFFFF;
    Parents[RootNode] = 0;
}

TAdaptiveHuffman::TCode TAdaptiveHuffman::CodeOf(int symbol) const
{
    // From the leaf up: an odd position is the second son, which the bit 1 selects. The depth
    // stays far below 64: frequencies stay below RebuildFrequency, and a leaf at depth d of a
    // tree in frequency order needs a root frequency of at least the (d+1)th Fibonacci number.
    TCode code { 0, 0 };
    int node = Parents[symbol + NodeCount];
    do {
        code.Bits |= static_cast<std::uint64_t>(node & 1) << code.Length;
        ++code.Length;
        node = Parents[node];
    } while (node != RootNode);
    assert(code.Length < 64);
    return code;
}

void TAdaptiveHuffman::Update(int symbol)
{
    if (Frequencies[RootNode] == lzhuf::RebuildFrequency)
        Rebuild();
    int c = Parents[symbol + NodeCount];
    do {
        const std::uint32_t k = ++Frequencies[c];
        // When the order is broken, swap node c with the last node of lower frequency.
        if (k > Frequencies[c + 1]) {
            int l = c + 1;
            while (k > Frequencies[l + 1])
                ++l;
            Frequencies[c] = Frequencies[l];
            Frequencies[l] = k;

            const int i = Sons[c];
            Parents[i] = l;
            if (i < NodeCount)
                Parents[i + 1] = l;

            const int j = Sons[l];
            Sons[l] = i;
            Parents[j] = c;
            if (j < NodeCount)
                Parents[j + 1] = c;
            Sons[c] = j;

            c = l;
        }
        c = Parents[c];
    } while (c != 0);
}

void TAdaptiveHuffman::Rebuild()
{
    // Gather the leaves at the front with halved frequencies (rounded up, so none drops to 0).
    int j = 0;
    for (int i = 0; i < NodeCount; ++i) {
        if (Sons[i] >= NodeCount) {
            Frequencies[j] = (Frequencies[i] + 1) / 2;
            Sons[j] = Sons[i];
            ++j;
        }
    }
    // Join the two smallest nodes again and again; each sum goes where it keeps the order.
    for (int i = 0, n = SymbolCount; n < NodeCount; i += 2, ++n) {
        const std::uint32_t f = Frequencies[i] + Frequencies[i + 1];
        int k = n - 1;
        while (f < Frequencies[k])
            --k;
        ++k;
        std::copy_backward(
            Frequencies.begin() + k, Frequencies.begin() + n, Frequencies.begin() + n + 1);
        Frequencies[k] = f;
        std::copy_backward(Sons.begin() + k, Sons.begin() + n, Sons.begin() + n + 1);
        Sons[k] = i;
    }
    for (int i = 0; i < NodeCount; ++i) {
        const int k = Sons[i];
        if (k >= NodeCount) {
            Parents[k] = i;
        } else {
            Parents[k] = Parents[k + 1] = i;
        }
    }
}

} // namespace quillet::skin
