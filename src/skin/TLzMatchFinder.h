#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quillet::skin {

// Finds long earlier occurrences of the text ahead, for the LZHUF encoder.
//
// It works on the text as the decoder's ring sees it: the ring's starting blanks followed by the
// input. Every position whose three bytes start a match is chained, newest first, to the previous
// position with the same three-byte hash; a search walks that chain back no further than the
// ring reaches (4096 bytes) and no longer than a fixed number of steps, and keeps the longest
// match, the nearest one among equals (near distances have the shorter codes).
class TLzMatchFinder {
public:
    struct TMatch {
        std::size_t Length = 0;
        // 1..4096: how far back the match starts.
        std::size_t Distance = 0;
    };

    explicit TLzMatchFinder(std::span<const std::uint8_t> input);

    // The longest match for the input byte at `offset`, or Length 0. Positions must be entered
    // with Enter in order, each before the search at a later offset.
    TMatch LongestMatch(std::size_t offset) const;

    // Makes the input byte at `offset` available to later searches.
    void Enter(std::size_t offset) { Insert(offset + Prefix); }

private:
    void Insert(std::size_t position);
    std::uint32_t HashAt(std::size_t position) const;

    std::size_t Prefix;
    std::vector<std::uint8_t> Text;
    // Newest position + 1 per hash (0: none), and per position the previous one with its hash.
    std::vector<std::uint32_t> Heads;
    std::vector<std::uint32_t> Previous;
};

} // namespace quillet::skin
