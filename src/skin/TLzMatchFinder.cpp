#include "skin/TLzMatchFinder.h"

#include "skin/LzhufFormat.h"

#include <algorithm>

namespace quillet::skin {
namespace {

// A search reaches 4096 positions at most: twice as many chains keep them short.
constexpr unsigned HashBits = 13;
// Twice the ring, so a chain entry is never overwritten while it is still within reach.
constexpr std::size_t ChainMask = 2 * lzhuf::RingSize - 1;
// How many earlier positions one search looks at, at most.
constexpr int MaxChainSteps = 96;

} // namespace

TLzMatchFinder::TLzMatchFinder(std::span<const std::uint8_t> input)
    : Prefix(lzhuf::RingFill)
    , Heads(std::size_t { 1 } << HashBits, 0)
    , Previous(ChainMask + 1, 0)
{
    Text.reserve(Prefix + input.size());
    Text.assign(Prefix, lzhuf::Blank);
    Text.insert(Text.end(), input.begin(), input.end());
    for (std::size_t position = 0; position < Prefix; ++position)
        Insert(position);
}

std::uint32_t TLzMatchFinder::HashAt(std::size_t position) const
{
    const std::uint32_t key = (std::uint32_t { Text[position] } << 16)
        | (std::uint32_t { Text[position + 1] } << 8) | Text[position + 2];
    return (key * 2654435761u) >> (32 - HashBits);
}

void TLzMatchFinder::Insert(std::size_t position)
{
    if (position + lzhuf::MinMatch > Text.size())
        return;
    std::uint32_t& head = Heads[HashAt(position)];
    Previous[position & ChainMask] = head;
    head = static_cast<std::uint32_t>(position + 1);
}

TLzMatchFinder::TMatch TLzMatchFinder::LongestMatch(std::size_t offset) const
{
    const std::size_t position = offset + Prefix;
    TMatch best;
    const std::size_t maxLength = std::min(lzhuf::MaxMatch, Text.size() - position);
    if (maxLength < lzhuf::MinMatch)
        return best;
    const std::size_t oldest = position > lzhuf::RingSize ? position - lzhuf::RingSize : 0;
    const std::uint8_t* ahead = Text.data() + position;

    std::uint32_t link = Heads[HashAt(position)];
    for (int step = 0; step < MaxChainSteps && link != 0; ++step) {
        const std::size_t candidate = link - 1;
        if (candidate < oldest)
            break;
        const std::uint8_t* earlier = Text.data() + candidate;
        // A longer match must differ from the best one in its last byte.
        if (earlier[best.Length] == ahead[best.Length]) {
            std::size_t length = 0;
            while (length < maxLength && earlier[length] == ahead[length])
                ++length;
            if (length > best.Length) {
                best = { length, position - candidate };
                if (length == maxLength)
                    break;
            }
        }
        link = Previous[candidate & ChainMask];
    }
    if (best.Length < lzhuf::MinMatch)
        best = {};
    return best;
}

} // namespace quillet::skin
