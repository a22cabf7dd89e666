#pragma once

#include <cstdint>
#include <optional>

namespace quillet {

// A 32-bit millisecond count that wraps about every 49.7 days. Compare two ticks only through
// TickElapsed, which stays right across the wrap.
using TTick = std::uint32_t;

class ITickSource {
public:
    virtual ~ITickSource() = default;
    virtual TTick Now() const = 0;
    // How long a thread that waits for the count to reach a value may sleep before it looks
    // again. A count that follows the real clock says none: the sleeper wakes when the value is
    // due. One that is moved on by hand (in a test) jumps, and says how often to look.
    virtual std::optional<TTick> LookAgainAfterMs() const { return std::nullopt; }
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
