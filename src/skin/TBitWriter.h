#pragma once

#include <cassert>
#include <cstdint>
#include <vector>

namespace quillet::skin {

// Collects bits most significant first into bytes; the last byte is padded with zero bits.
class TBitWriter {
public:
    // Appends the low `count` bits of `bits` (count ≤ 56), the highest of them first.
    void Write(std::uint64_t bits, int count)
    {
        assert(count >= 0 && count <= 56);
        Buffer = (Buffer << count) | (bits & ((std::uint64_t { 1 } << count) - 1));
        Pending += count;
        while (Pending >= 8) {
            Pending -= 8;
            Bytes.push_back(static_cast<std::uint8_t>(Buffer >> Pending));
        }
    }

    std::vector<std::uint8_t> Finish()
    {
        if (Pending > 0)
            Bytes.push_back(static_cast<std::uint8_t>(Buffer << (8 - Pending)));
        Pending = 0;
        return std::move(Bytes);
    }

private:
    std::vector<std::uint8_t> Bytes;
    std::uint64_t Buffer = 0;
    // Bits in the low end of Buffer not yet in Bytes (fewer than 8 between calls).
    int Pending = 0;
};

} // namespace quillet::skin
