#pragma once

#include <cstdint>
#include <span>

namespace quillet::skin {

// Reads bits most significant first. Never reads past its input: a read that needs a bit the
// input does not have fails and leaves nothing half done that a caller could mistake for data.
class TBitReader {
public:
    explicit TBitReader(std::span<const std::uint8_t> input)
        : Next(input.data())
        , End(input.data() + input.size())
    {
    }

    bool ReadBit(unsigned& bit)
    {
        if (Available == 0 && !Refill())
            return false;
        --Available;
        bit = static_cast<unsigned>(Buffer >> Available) & 1u;
        return true;
    }

    // Reads `count` bits (count ≤ 32) into `value`, the first of them highest.
    bool ReadBits(int count, unsigned& value)
    {
        while (Available < count) {
            if (!Refill())
                return false;
        }
        Available -= count;
        value = static_cast<unsigned>((Buffer >> Available) & ((std::uint64_t { 1 } << count) - 1));
        return true;
    }

private:
    // Moves whole input bytes into the buffer while they fit; false when none is left.
    bool Refill()
    {
        if (Next == End)
            return false;
        while (Available <= 56 && Next != End) {
            Buffer = (Buffer << 8) | *Next++;
            Available += 8;
        }
        return true;
    }

    const std::uint8_t* Next;
    const std::uint8_t* End;
    std::uint64_t Buffer = 0;
    // Unread bits in the low end of Buffer.
    int Available = 0;
};

} // namespace quillet::skin
