#include "skin/TQuickIni.h"

#include "skin/SkinText.h"

#include <limits>
#include <optional>

namespace quillet::skin {
namespace {

bool IsHeader(std::string_view line)
{
    return !line.empty() && line.front() == '[' && line.back() == ']';
}

std::optional<std::int32_t> ParseNumber(std::string_view s)
{
    bool hex = false;
    bool negative = false;
    if (!s.empty() && s.front() == '$') {
        hex = true;
        s.remove_prefix(1);
    } else if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty())
        return std::nullopt;
    const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    std::uint64_t value = 0;
    for (const char c : s) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return std::nullopt;
        value = value * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (value > limit)
            return std::nullopt;
    }
    if (hex)
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    return negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(value))
                    : static_cast<std::int32_t>(value);
}

} // namespace

void TQuickIni::LoadText(std::string_view text)
{
    Lines.clear();
    Sections.clear();
    text = text.substr(0, text.find('\0'));
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text::Trim(text.substr(start, end - start));
        if (!line.empty() && line.front() != ';') {
            if (IsHeader(line))
                Sections.push_back({ std::string(line), Lines.size() });
            Lines.emplace_back(line);
        }
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
}

std::vector<std::string> TQuickIni::SectionNames() const
{
    std::vector<std::string> names;
    names.reserve(Sections.size());
    for (const TSection& section : Sections) {
        // A header is at least "[]": the brackets come off whole.
        const std::string_view header = text::Trim(section.Header);
        names.emplace_back(text::Trim(header.substr(1, header.size() - 2)));
    }
    return names;
}

std::string TQuickIni::LookupText(
    std::string_view section, std::string_view key, std::string_view defaultValue) const
{
    const std::string wanted = "[" + std::string(section) + "]";
    const TSection* found = nullptr;
    for (const TSection& s : Sections) {
        if (text::EqualsNoCase(s.Header, wanted)) {
            found = &s;
            break;
        }
    }
    if (found == nullptr || key.empty())
        return std::string(defaultValue);
    for (std::size_t i = found->LineIndex + 1; i < Lines.size() && !IsHeader(Lines[i]); ++i) {
        const std::string_view line = Lines[i];
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos
            || !text::EqualsNoCase(text::Trim(line.substr(0, equals)), key))
            continue;
        const std::string_view value = text::Trim(line.substr(equals + 1));
        return std::string(value.empty() ? defaultValue : value);
    }
    return std::string(defaultValue);
}

std::int32_t TQuickIni::ReadNumber(
    std::string_view section, std::string_view key, std::int32_t defaultValue) const
{
    std::string s = LookupText(section, key, "");
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
        s.replace(0, 2, "$");
    return ParseNumber(s).value_or(defaultValue);
}

} // namespace quillet::skin
