#include "phonebook/PhonebookText.h"

#include <charconv>

namespace quillet {

std::vector<std::string> SplitString(std::string_view text, char delimiter)
{
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(delimiter, start);
        if (end == std::string_view::npos) {
            pieces.emplace_back(text.substr(start));
            return pieces;
        }
        pieces.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
}

int CompareUserNames(const TUserRecordType& a, const TUserRecordType& b)
{
    // std::string compares through char_traits<char>, which orders as unsigned char.
    const int order = a.Name.compare(b.Name);
    return order > 0 ? 1 : (order < 0 ? -1 : 0);
}

std::string UpperCaseAscii(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

std::string TrimControls(std::string_view text)
{
    const auto isControl = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!text.empty() && isControl(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isControl(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

std::optional<std::int32_t> ParseWholeNumber(std::string_view text)
{
    // from_chars takes a minus sign but no plus sign: a plus sign is taken here, and must be
    // followed by a digit ("+-1" is no number).
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (text.empty() || text.front() < '0' || text.front() > '9')
            return std::nullopt;
    }
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace quillet
