#include "net/NumericAddress.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(IsNumericIP4, Table)
{
    const std::pair<const char*, bool> rows[] = {
        { "127.0.0.1", true },
        { "0.0.0.0", true },
        { "255.255.255.255", true },
        { "192.168.001.010", true },
        { "256.1.1.1", false },
        { "1.2.3", false },
        { "1.2.3.4.5", false },
        { "1..2.3", false },
        { "1.2.3.", false },
        { ".1.2.3", false },
        { "1.2.3.a", false },
        { "1.2.3.-4", false },
        { " 1.2.3.4", false },
        { "99999999999.1.1.1", false },
        { "", false },
        { "localhost", false },
        { "::1", false },
    };
    for (const auto& [text, expected] : rows)
        EXPECT_EQ(IsNumericIP4(text), expected) << '"' << text << '"';
}

TEST(IsNumericIP6, Table)
{
    const std::pair<const char*, bool> rows[] = {
        { "::1", true },
        { "::0", true },
        { "::", true },
        { "fe80::1%eth0", true },
        { "2001:db8:0:0:0:0:2:1", true },
        { "2001:DB8::FFFF", true },
        { "1::", true },
        { "1:2:3:4:5:6:7::", true },
        { "::2:3:4:5:6:7:8", true },
        { "1:2", true },
        { "1:2:3:4:5:6:7:8:9", false },
        { "1::3:4:5:6:7:8:9", false },
        { "1::2::3", false },
        { ":::1", false },
        { "1:::2", false },
        { ":1", false },
        { "1:", false },
        { "10000::1", false },
        { "g::1", false },
        { "::1%", false },
        { "%eth0", false },
        { "::ffff:1.2.3.4", false },
        { "127.0.0.1", false },
        { "localhost", false },
        { "", false },
        { ":", false },
    };
    for (const auto& [text, expected] : rows)
        EXPECT_EQ(IsNumericIP6(text), expected) << '"' << text << '"';
}

} // namespace
} // namespace quillet
