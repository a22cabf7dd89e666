#include "nearby/NearbyText.h"

#include "platform/CodePage1252.h"
#include "platform/ProgramDefaults.h"

#include <cstdint>

namespace quillet::nearby {
namespace {

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

// Characters a name must not carry: C0 and C1 controls, DEL, the line and paragraph separators,
// and the marks, embeddings, overrides and isolates that change the direction of text.
bool IsDropped(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F
        || (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool IsBlank(char32_t c)
{
    return c == ' ' || c == 0xA0 || c == 0x3000;
}

// The cleaning both directions share. Leading blanks are skipped as they come; trailing ones are
// held back until a character follows them, so that the cut never keeps a blank at the end.
std::string Clean(std::string_view text, bool replaceInvalid, std::size_t maxBytes)
{
    std::string out;
    std::string blanks;
    std::size_t at = 0;
    while (at < text.size()) {
        char32_t c = NextCodePoint(text, at);
        if (c == Invalid) {
            if (!replaceInvalid)
                continue;
            c = Replacement;
        }
        if (IsDropped(c))
            continue;
        if (IsBlank(c)) {
            if (!out.empty())
                cp1252::AppendUtf8(blanks, c);
            continue;
        }
        std::string next = blanks;
        cp1252::AppendUtf8(next, c);
        if (out.size() + next.size() > maxBytes)
            break;
        out += next;
        blanks.clear();
    }
    return out;
}

} // namespace

std::string ShownName(std::string_view announced)
{
    return Clean(announced, true, MaxShownNameBytes);
}

std::string InstanceNameFor(std::string_view ownName)
{
    std::string name = Clean(ownName, false, MaxInstanceNameBytes);
    if (name.empty())
        name = DefaultUserName;
    return name;
}

} // namespace quillet::nearby
