#include "nearby/NearbyEndpoint.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace quillet::nearby {
namespace {

using TBytes = std::array<std::uint8_t, 16>;

// The address in the IPv6 form (IPv4 as ::ffff:a.b.c.d), or nothing when it is not numeric.
std::optional<TBytes> Numeric(std::string_view text)
{
    const std::string address(text);
    TBytes bytes {};
    in_addr v4 {};
    if (::inet_pton(AF_INET, address.c_str(), &v4) == 1) {
        bytes[10] = 0xFF;
        bytes[11] = 0xFF;
        std::memcpy(&bytes[12], &v4, sizeof v4);
        return bytes;
    }
    in6_addr v6 {};
    if (::inet_pton(AF_INET6, address.c_str(), &v6) == 1) {
        std::memcpy(bytes.data(), &v6, sizeof v6);
        return bytes;
    }
    return std::nullopt;
}

bool IsMappedV4(const TBytes& bytes)
{
    return std::all_of(bytes.begin(), bytes.begin() + 10, [](std::uint8_t b) { return b == 0; })
        && bytes[10] == 0xFF && bytes[11] == 0xFF;
}

// A host name as announced, for comparison: ASCII letters in lower case, without a final dot.
std::string HostKey(std::string_view name)
{
    std::string key(name);
    if (!key.empty() && key.back() == '.')
        key.pop_back();
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return key;
}

} // namespace

bool IsCallable(const TNearbyEndpoint& endpoint)
{
    if (endpoint.Port == 0)
        return false;
    const std::optional<TBytes> address = Numeric(endpoint.Address);
    if (!address)
        return false;
    const TBytes& b = *address;
    if (IsMappedV4(b)) {
        const std::uint8_t first = b[12];
        return first != 0 && first != 127 && first < 224;
    }
    const bool zeroUpTo15
        = std::all_of(b.begin(), b.begin() + 15, [](std::uint8_t x) { return x == 0; });
    if (zeroUpTo15 && (b[15] == 0 || b[15] == 1))
        return false;
    return b[0] != 0xFF;
}

bool Reaches(const TNearbyEndpoint& endpoint, std::string_view address, std::string_view port)
{
    unsigned number = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (error != std::errc {} || end != port.data() + port.size() || number != endpoint.Port)
        return false;
    const std::optional<TBytes> stored = Numeric(address);
    if (stored)
        return stored == Numeric(endpoint.Address);
    return !endpoint.HostName.empty() && HostKey(address) == HostKey(endpoint.HostName);
}

} // namespace quillet::nearby
