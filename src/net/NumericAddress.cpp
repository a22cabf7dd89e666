#include "net/NumericAddress.h"

#include <cstddef>

namespace quillet {
namespace {

// Each part must hold at least one digit and none but the allowed digits; the value is capped
// while scanning, so that any number of leading zeros is accepted but no overflow occurs.
bool IsNumberPart(std::string_view part, unsigned base, unsigned maxValue)
{
    if (part.empty())
        return false;
    unsigned value = 0;
    for (const char c : part) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        value = value * base + digit;
        if (value > maxValue)
            return false;
    }
    return true;
}

} // namespace

bool IsNumericIP4(std::string_view text)
{
    int parts = 0;
    while (true) {
        const std::size_t dot = text.find('.');
        if (!IsNumberPart(text.substr(0, dot), 10, 255))
            return false;
        ++parts;
        if (dot == std::string_view::npos)
            break;
        text.remove_prefix(dot + 1);
    }
    return parts == 4;
}

bool IsNumericIP6(std::string_view text)
{
    const std::size_t percent = text.find('%');
    if (percent != std::string_view::npos) {
        if (percent + 1 == text.size())
            return false; // a percent sign without a zone
        text = text.substr(0, percent);
    }
    if (text.size() < 2 || text.find(':') == std::string_view::npos)
        return false;

    const std::size_t gap = text.find("::");
    const bool hasGap = gap != std::string_view::npos;
    if (hasGap && text.find("::", gap + 1) != std::string_view::npos)
        return false; // a second double colon, or ":::"

    // A colon at either end is only allowed as half of the double colon.
    if (text.front() == ':' && gap != 0)
        return false;
    if (text.back() == ':' && (!hasGap || gap + 2 != text.size()))
        return false;

    int groups = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(':', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view group = text.substr(start, end - start);
        if (!group.empty()) {
            if (!IsNumberPart(group, 16, 0xFFFF))
                return false;
            ++groups;
        }
        start = end + 1;
    }
    // The double colon stands for at least one group.
    return hasGap ? groups <= 7 : groups <= 8;
}

} // namespace quillet
