#include "platform/VisibleName.h"

#include "platform/CodePage1252.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace quillet::text {
namespace {

struct TRange {
    char32_t First;
    char32_t Last;
};

// Unicode 15.1: every code point of category Cf, merged with the other default-ignorable code
// points (assigned or kept for the purpose), in order. A test holds the Cf part against the
// toolkit's own character tables over every code point.
constexpr std::array<TRange, 25> InvisibleRanges { {
    { 0x00AD, 0x00AD }, // soft hyphen
    { 0x034F, 0x034F }, // combining grapheme joiner
    { 0x0600, 0x0605 }, // Arabic number signs
    { 0x061C, 0x061C }, // Arabic letter mark
    { 0x06DD, 0x06DD }, { 0x070F, 0x070F }, { 0x0890, 0x0891 }, { 0x08E2, 0x08E2 },
    { 0x115F, 0x1160 }, // Hangul choseong and jungseong fillers
    { 0x17B4, 0x17B5 }, // Khmer inherent vowels
    { 0x180B, 0x180F }, // Mongolian free variation selectors and vowel separator
    { 0x200B,
        0x200F }, // zero-width space, non-joiner, joiner; left-to-right and right-to-left marks
    { 0x202A, 0x202E }, // direction embeddings and overrides
    { 0x2060, 0x206F }, // word joiner, invisible operators, direction isolates, deprecated formats
    { 0x3164, 0x3164 }, // Hangul filler
    { 0xFE00, 0xFE0F }, // variation selectors
    { 0xFEFF, 0xFEFF }, // byte order mark (zero-width no-break space)
    { 0xFFA0, 0xFFA0 }, // halfwidth Hangul filler
    { 0xFFF0, 0xFFFB }, // kept for default-ignorables, interlinear annotation
    { 0x110BD, 0x110BD }, { 0x110CD, 0x110CD },
    { 0x13430, 0x1343F }, // Egyptian hieroglyph format controls
    { 0x1BCA0, 0x1BCA3 }, // shorthand format controls
    { 0x1D173, 0x1D17A }, // musical symbol formats
    { 0xE0000, 0xE0FFF }, // tags and variation selectors supplement
} };

constexpr char32_t Replacement = 0xFFFD;
constexpr char32_t Invalid = 0xFFFFFFFF;

// Decodes one UTF-8 sequence at `text[at]` and advances `at` past it. A byte that does not start
// a well-formed sequence (overlong forms, surrogates and values beyond U+10FFFF included) yields
// Invalid and advances by one byte.
char32_t NextCodePoint(std::string_view text, std::size_t& at)
{
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(at);
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        ++at;
        return Invalid;
    }
    if (at + length > text.size()) {
        ++at;
        return Invalid;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const std::uint8_t next = byte(at + i);
        if ((next & 0xC0) != 0x80) {
            ++at;
            return Invalid;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++at;
        return Invalid;
    }
    at += length;
    return value;
}

// Characters that are not text at all: C0 and C1 controls, DEL, the line and paragraph
// separators.
bool IsControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

} // namespace

bool IsInvisible(char32_t c) noexcept
{
    // The first range that ends at or after c.
    const auto range = std::lower_bound(InvisibleRanges.begin(), InvisibleRanges.end(), c,
        [](const TRange& r, char32_t value) { return r.Last < value; });
    return range != InvisibleRanges.end() && c >= range->First;
}

bool IsBlank(char32_t c) noexcept
{
    return c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F
        || c == 0x205F || c == 0x3000;
}

std::string VisibleName(std::string_view name, TInvalidUtf8 invalid, std::size_t maxBytes)
{
    std::string out;
    bool blank = false; // a blank is due before the next character that is kept
    std::size_t at = 0;
    while (at < name.size()) {
        char32_t c = NextCodePoint(name, at);
        if (c == Invalid) {
            if (invalid == TInvalidUtf8::Drop)
                continue;
            c = Replacement;
        }
        if (IsControl(c) || IsInvisible(c))
            continue;
        if (IsBlank(c)) {
            blank = !out.empty();
            continue;
        }
        std::string next = blank ? " " : "";
        cp1252::AppendUtf8(next, c);
        if (out.size() + next.size() > maxBytes)
            break;
        out += next;
        blank = false;
    }
    return out;
}

} // namespace quillet::text
