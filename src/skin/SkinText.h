#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Small text and byte helpers shared by the skin package and description readers. Letter case
// is folded for ASCII letters only: skin names and keys are ASCII.
namespace quillet::skin::text {

inline char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string AsciiLower(std::string_view s)
{
    std::string lowered(s);
    for (char& c : lowered)
        c = AsciiLower(c);
    return lowered;
}

inline bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

// Removes leading and trailing characters of code 32 and below (bytes of 128 and above stay).
inline std::string_view Trim(std::string_view s)
{
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// A name in double quotes for a one-line message: control bytes, quotes and backslashes are
// written as escapes, so a name from a package can neither break the line nor steer a terminal.
inline std::string Quoted(std::string_view name)
{
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string quoted = "\"";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            quoted += "\\x";
            quoted += Hex[byte >> 4];
            quoted += Hex[byte & 0x0F];
        } else {
            if (c == '"' || c == '\\')
                quoted += '\\';
            quoted += c;
        }
    }
    return quoted + "\"";
}

inline std::string_view AsText(std::span<const std::uint8_t> bytes)
{
    return { reinterpret_cast<const char*>(bytes.data()), bytes.size() };
}

// Signed 32-bit little-endian numbers, the package's only kind of number.
inline std::int32_t ReadInt32(const std::uint8_t* at)
{
    const std::uint32_t v = std::uint32_t { at[0] } | (std::uint32_t { at[1] } << 8)
        | (std::uint32_t { at[2] } << 16) | (std::uint32_t { at[3] } << 24);
    return static_cast<std::int32_t>(v);
}

inline void AppendInt32(std::vector<std::uint8_t>& out, std::int32_t value)
{
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

} // namespace quillet::skin::text
