#include "platform/CodePage1252.h"

#include <array>
#include <cstring>

namespace quillet::cp1252 {
namespace {

// 0x80..0x9F: the only range where Windows-1252 differs from Latin-1.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, //
};

} // namespace

char32_t Decode(std::uint8_t byte) noexcept
{
    if (byte >= 0x80 && byte <= 0x9F)
        return kHighControls[static_cast<std::size_t>(byte - 0x80)];
    return byte;
}

std::optional<std::uint8_t> Encode(char32_t ch) noexcept
{
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return static_cast<std::uint8_t>(ch);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == ch)
            return static_cast<std::uint8_t>(0x80 + i);
    }
    return std::nullopt;
}

std::uint8_t EncodeTyped(char32_t ch) noexcept
{
    switch (ch) {
    case 0xF7:
        return '/';
    case 0xF8:
        return 'o';
    case 0xF9:
    case 0xFA:
    case 0xFB:
    case 0xFC:
        return 'u';
    default:
        break;
    }
    return Encode(ch).value_or(static_cast<std::uint8_t>('?'));
}

void AppendUtf8(std::string& out, char32_t ch)
{
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (ch >> 18));
        out += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

std::string ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes)
        AppendUtf8(out, Decode(static_cast<std::uint8_t>(c)));
    return out;
}

std::string FromUtf8(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<std::uint8_t>(utf8[i]);
        std::size_t extra = 0;
        char32_t ch = 0;
        if (lead < 0x80) {
            ch = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            ch = lead & 0x1Fu;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            ch = lead & 0x0Fu;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            ch = lead & 0x07u;
        } else {
            out += '?';
            ++i;
            continue;
        }
        bool valid = i + extra < utf8.size();
        for (std::size_t k = 1; valid && k <= extra; ++k) {
            const auto cont = static_cast<std::uint8_t>(utf8[i + k]);
            if ((cont & 0xC0) != 0x80)
                valid = false;
            else
                ch = (ch << 6) | (cont & 0x3Fu);
        }
        if (!valid) {
            out += '?';
            ++i;
            continue;
        }
        out += static_cast<char>(Encode(ch).value_or(static_cast<std::uint8_t>('?')));
        i += extra + 1;
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes) noexcept
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        // Plain ASCII, the usual text, eight bytes at a time.
        while (bytes.size() - i >= sizeof(std::uint64_t)) {
            std::uint64_t word = 0;
            std::memcpy(&word, bytes.data() + i, sizeof word);
            if ((word & 0x8080808080808080U) != 0)
                break;
            i += sizeof word;
        }
        if (i == bytes.size())
            break;
        const auto lead = static_cast<std::uint8_t>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t extra = 0;
        // The smallest and largest second byte each lead byte allows: this rules out overlong
        // forms (E0 80..9F, F0 80..8F), surrogates (ED A0..BF) and code points past U+10FFFF.
        std::uint8_t low = 0x80;
        std::uint8_t high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (bytes.size() - i <= extra)
            return false;
        const auto second = static_cast<std::uint8_t>(bytes[i + 1]);
        if (second < low || second > high)
            return false;
        for (std::size_t k = 2; k <= extra; ++k) {
            if ((static_cast<std::uint8_t>(bytes[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += extra + 1;
    }
    return true;
}

std::string Utf8OrFromCp1252(std::string_view bytes)
{
    return IsValidUtf8(bytes) ? std::string(bytes) : ToUtf8(bytes);
}

} // namespace quillet::cp1252
