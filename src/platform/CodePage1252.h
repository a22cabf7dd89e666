#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Text on the wire is one byte per character in Windows-1252. These functions convert between
// that code page and Unicode (code points, or UTF-8 for the rest of the program).
namespace quillet::cp1252 {

// The character a byte stands for. The five bytes Windows-1252 leaves undefined (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) map to the C1 control of the same number, so every byte round-trips.
char32_t Decode(std::uint8_t byte) noexcept;

// The byte for a character, or nothing when Windows-1252 cannot hold it.
std::optional<std::uint8_t> Encode(char32_t ch) noexcept;

// The byte sent for a typed character. Bytes 247 to 252 are protocol signals, so the six
// lower-case letters that would collide with them are sent as look-alikes:
// U+00F7 -> '/', U+00F8 -> 'o', U+00F9..U+00FC -> 'u'. Anything Windows-1252 cannot hold is '?'.
std::uint8_t EncodeTyped(char32_t ch) noexcept;

// UTF-8 text to Windows-1252 bytes ('?' for what cannot be held; invalid UTF-8 sequences give '?').
std::string FromUtf8(std::string_view utf8);

// Windows-1252 bytes to UTF-8 text.
std::string ToUtf8(std::string_view bytes);

// Appends the UTF-8 form of one code point.
void AppendUtf8(std::string& out, char32_t ch);

// Whether the bytes are well-formed UTF-8: no stray or missing continuation byte, no overlong
// form, no surrogate, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes) noexcept;

// Text as UTF-8: bytes that are valid UTF-8 as they are, any other bytes read as Windows-1252
// (which gives every byte a character, so nothing is lost or replaced).
std::string Utf8OrFromCp1252(std::string_view bytes);

} // namespace quillet::cp1252
