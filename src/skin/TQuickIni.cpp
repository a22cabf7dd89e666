#include "skin/TQuickIni.h"

#include "skin/SkinText.h"

#include <algorithm>
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
    Text.assign(text.substr(0, text.find('\0')));
    const std::string_view all(Text);
    std::size_t start = 0;
    while (start <= all.size()) {
        std::size_t end = all.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = all.size();
        const std::string_view line = text::Trim(all.substr(start, end - start));
        if (!line.empty() && line.front() != ';') {
            if (IsHeader(line))
                Sections.push_back(Lines.size());
            Lines.push_back({ static_cast<std::size_t>(line.data() - all.data()), line.size() });
        }
        if (end + 1 < all.size() && all[end] == '\r' && all[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    Text.shrink_to_fit();
    Lines.shrink_to_fit();
    Sections.shrink_to_fit();
}

std::vector<std::string> TQuickIni::SectionNames() const
{
    std::vector<std::string> names;
    names.reserve(Sections.size());
    for (const std::size_t index : Sections) {
        // A header is at least "[]": the brackets come off whole.
        const std::string_view header = Line(index);
        names.emplace_back(text::Trim(header.substr(1, header.size() - 2)));
    }
    return names;
}

std::string TQuickIni::LookupText(
    std::string_view section, std::string_view key, std::string_view defaultValue) const
{
    std::string wanted;
    wanted.reserve(section.size() + 2);
    wanted.append(1, '[').append(section).append(1, ']');
    const auto found = std::find_if(Sections.begin(), Sections.end(),
        [&](std::size_t index) { return text::EqualsNoCase(Line(index), wanted); });
    if (found == Sections.end() || key.empty())
        return std::string(defaultValue);
    for (std::size_t i = *found + 1; i < Lines.size() && !IsHeader(Line(i)); ++i) {
        const std::string_view line = Line(i);
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
