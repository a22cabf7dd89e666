#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::skin {

// The reader of a skin description (an INI text inside the skin package). The text is kept
// once, as given, and split once into lines that refer into it; every lookup walks them. A line
// costs its place in the text and one small record, so even a description of tiny lines takes
// little more memory than its text.
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
    // A kept line: trimmed, within Text.
    struct TLine {
        std::size_t Start;
        std::size_t Length;
    };

    std::string_view Line(std::size_t index) const
    {
        return std::string_view(Text).substr(Lines[index].Start, Lines[index].Length);
    }

    std::string Text;
    std::vector<TLine> Lines;
    // The lines that are section headers, in file order.
    std::vector<std::size_t> Sections;
};

} // namespace quillet::skin
