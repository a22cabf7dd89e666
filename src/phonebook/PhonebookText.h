#pragma once

#include "phonebook/TUserRecordType.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Text rules of the phonebook: how entries are split, how names are ordered, and the texts built
// from names. Names are UTF-8 bytes; nothing here looks beyond bytes.
namespace quillet {

// The pieces of `text` between occurrences of `delimiter`: always one more than the number of
// delimiters (an empty text is one empty piece; a delimiter at the end gives an empty last piece).
std::vector<std::string> SplitString(std::string_view text, char delimiter);

// Ordinal order of the names, byte by byte as unsigned bytes, a prefix before the longer name:
// 1 when A sorts after B, 0 when equal, -1 when before. Upper-case ASCII sorts before lower-case.
int CompareUserNames(const TUserRecordType& a, const TUserRecordType& b);

// The ASCII letters a to z in upper case; every other byte unchanged.
std::string UpperCaseAscii(std::string_view text);

// Without leading and trailing bytes of code 32 and below (blanks and control characters).
std::string TrimControls(std::string_view text);

// A whole decimal number with an optional sign that fits 32 bits; nothing for any other text.
std::optional<std::int32_t> ParseWholeNumber(std::string_view text);

} // namespace quillet
