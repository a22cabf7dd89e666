#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::skin {

// The reader of a skin description (an INI text inside the skin package). The text is split
// once into lines; every lookup walks them.
//
// Rules: a line ends at CR, LF, CR LF or a NUL byte (which also ends the text); lines are trimmed
// of characters of code 32 and below; empty lines and lines starting with ';' are dropped (a ';'
// later in a line belongs to it). A line that starts with '[' and ends with ']' is a section
// header. Sections and keys are found without regard to ASCII letter case; a section is found
// under the name written inside its brackets (blanks inside the brackets are part of it), and
// only at its first occurrence. Within a section the first line with the key decides, even
// when its value is empty.
class TQuickIni {
public:
    // Replaces the contents with the lines of `text`.
    void LoadText(std::string_view text);

    // Section names in file order, without brackets, trimmed.
    std::vector<std::string> SectionNames() const;

    // The value of the first `key` line of the section, trimmed; `defaultValue` when the
    // section or the key is missing or the value is empty. `key` is compared as given (not
    // trimmed); the text before a line's first '=' is its key, the text after it its value.
    std::string LookupText(
        std::string_view section, std::string_view key, std::string_view defaultValue) const;

    // LookupText's value as a signed 32-bit number: decimal with an optional sign, or
    // hexadecimal after "$" or, when more digits follow, after "0x". Hexadecimal takes up to
    // 32 bits, so "0xFFFFFFFF" is -1. `defaultValue` when the value is missing or not a number.
    std::int32_t ReadNumber(
        std::string_view section, std::string_view key, std::int32_t defaultValue) const;

private:
    struct TSection {
        // The header line as written, brackets included.
        std::string Header;
        std::size_t LineIndex;
    };

    std::vector<std::string> Lines;
    std::vector<TSection> Sections;
};

} // namespace quillet::skin
