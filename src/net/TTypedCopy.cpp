#include "net/TTypedCopy.h"

#include "net/WireBytes.h"
#include "platform/CodePage1252.h"

#include <algorithm>
#include <cstdint>

namespace quillet {

std::string TTypedCopy::Encode(std::string_view utf8Text, std::string_view lineBreak)
{
    const std::string raw = cp1252::FromUtf8(utf8Text);
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const auto b = static_cast<std::uint8_t>(raw[i]);
        if (b == '\r' || b == '\n') {
            if (b == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
                ++i;
            out += lineBreak;
        } else if (b >= wire::SigStoppedTyping && b <= 252) {
            out += static_cast<char>(cp1252::EncodeTyped(b));
        } else {
            // Controls, and the five bytes Windows-1252 leaves undefined, which the other side
            // does not draw.
            const char32_t ch = cp1252::Decode(b);
            const bool control = (b < 0x20 && b != '\t') || b == 0x7F || (ch >= 0x80 && ch <= 0x9F);
            if (!control)
                out += static_cast<char>(b);
        }
    }
    return out;
}

namespace {

// The erases that take `from` back to the part it has in common with `to`, then the rest of
// `to`.
std::string Turn(std::string_view from, std::string_view to)
{
    const auto common = static_cast<std::size_t>(
        std::mismatch(from.begin(), from.end(), to.begin(), to.end()).first - from.begin());
    std::string bytes(from.size() - common, wire::Backspace);
    bytes.append(to.substr(common));
    return bytes;
}

} // namespace

std::string TTypedCopy::Update(std::string_view utf8Text, std::size_t droppedFront)
{
    Copy.erase(0, std::min(droppedFront, Copy.size()));
    std::string next = Encode(utf8Text, std::string_view(&wire::CarriageReturn, 1));
    std::string bytes = Turn(Copy, next);
    Copy = std::move(next);
    return bytes;
}

std::string TTypedCopy::Replace(std::size_t position, std::size_t removed,
    std::string_view utf8Inserted, std::size_t droppedFront)
{
    position = std::min(position, Copy.size());
    removed = std::min(removed, Copy.size() - position);
    const std::string tail = Encode(utf8Inserted, std::string_view(&wire::CarriageReturn, 1))
        + Copy.substr(position + removed);
    std::string bytes = Turn(std::string_view(Copy).substr(position), tail);
    Copy.replace(position, std::string::npos, tail);
    Copy.erase(0, std::min(droppedFront, Copy.size()));
    return bytes;
}

void TTypedCopy::Clear()
{
    Copy.clear();
    // A pasted line may have made it large; the next line starts small.
    Copy.shrink_to_fit();
}

} // namespace quillet
