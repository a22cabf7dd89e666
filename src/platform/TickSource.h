#pragma once

#include <cstdint>

namespace quillet {

// A 32-bit millisecond count that wraps about every 49.7 days. Compare two ticks only through
// TickElapsed, which stays right across the wrap.
using TTick = std::uint32_t;

class ITickSource {
public:
    virtual ~ITickSource() = default;
    virtual TTick Now() const = 0;
};

// Milliseconds of std::chrono::steady_clock, cut to 32 bits.
class TSteadyTickSource final : public ITickSource {
public:
    TTick Now() const override;
    static const TSteadyTickSource& Instance();
};

// Milliseconds from `since` to `now`, modulo 2^32.
constexpr TTick TickElapsed(TTick now, TTick since) noexcept
{
    return static_cast<TTick>(now - since);
}

} // namespace quillet
