#pragma once

#include <cstdint>

namespace quillet {

// The style a conversation runs in. On the wire a style is announced as the byte 249 + style.
enum class TChatStyle : std::uint8_t {
    Realtime = 1,
    IM = 2,
    IMPreview = 3,
};

constexpr bool IsKnownStyle(std::uint8_t value) noexcept
{
    return value >= 1 && value <= 3;
}

} // namespace quillet
