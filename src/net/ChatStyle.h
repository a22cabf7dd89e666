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

// A new contact's style, and that of a contact whose line names none.
inline constexpr TChatStyle NewContactStyle = TChatStyle::IMPreview;

// The style a call to a contact stored with `stored` starts in: a style the program has no
// button for starts as a new contact's would.
constexpr TChatStyle StyleToDial(TChatStyle stored) noexcept
{
    return IsKnownStyle(static_cast<std::uint8_t>(stored)) ? stored : NewContactStyle;
}

} // namespace quillet
