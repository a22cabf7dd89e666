#include "nearby/NearbyEndpoint.h"
#include "nearby/TNearbyContacts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillet {
namespace {

TEST(NearbyEndpoint, OnlyAddressesAnotherComputerCanBeCalledAtAreCallable)
{
    const struct {
        const char* Address;
        std::uint16_t Port;
        bool Callable;
    } rows[] = {
        // clang-format off
        // (a subnet's broadcast address cannot be told here)
        { "169.254.23.2", 2323, true }, { "223.255.255.254", 1, true },
        { "10.0.0.255", 2323, true }, { "192.168.1.20", 0, false }, { "127.0.0.1", 2323, false },
        { "127.8.9.10", 2323, false }, { "0.0.0.0", 2323, false }, { "0.1.2.3", 2323, false },
        { "224.0.0.1", 2323, false }, { "239.255.255.250", 2323, false },
        { "240.0.0.1", 2323, false }, { "255.255.255.255", 2323, false },
        { "fe80::1", 2323, true }, { "::1", 2323, false }, { "::", 2323, false },
        { "ff02::fb", 2323, false }, { "::ffff:127.0.0.1", 2323, false },
        { "::ffff:10.0.0.1", 2323, true }, { "annsbox.local", 2323, false },
        { "1.2.3", 2323, false }, { "", 2323, false },
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.Address) + " port " + std::to_string(row.Port));
        EXPECT_EQ(nearby::IsCallable({ "host.local", row.Address, row.Port }), row.Callable);
    }
}

// A person nearby on annsbox, 169.254.23.7, port 2323, against a phonebook with one Jane Doe.
TEST(NearbyContacts, APersonIsAContactOnlyWhereTheContactIsCalled)
{
    using enum TNearbyStanding;
    const TNearbyEndpoint there { "annsbox.local", "169.254.23.7", 2323 };
    const struct {
        const char* Shown;
        const char* Address; // Jane Doe's
        const char* Port;
        TNearbyStanding Expected;
    } rows[] = {
        { "Jane Doe", "169.254.23.7", "2323", Contact },
        { "Jane Doe", "ANNSBOX.local.", "2323", Contact }, // by the computer's name
        { "jane doe", "169.254.23.7", "2323", Contact }, // her copy, in another case
        { "Jane Doe", "169.254.23.50", "2323", NotContact },
        { "Jane Doe", "169.254.23.7", "2424", NotContact },
        { "Jane Doe", "169.254.23.7", "23x", NotContact },
        { "Jane Doe", "janesbox.local", "2323", NotContact },
        { "Jane Doe", "annsbox", "2323", NotContact }, // a name without .local is not resolved here
        { "JaneDoe", "169.254.23.50", "2323", NotContact },
        { "JANE  doe", "169.254.23.50", "2323", NotContact },
        { "Jane Dee", "169.254.23.7", "2323", Stranger },
        { "Jane Doe 2", "169.254.23.50", "2323", Stranger },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.Shown) + " / " + row.Address + " " + row.Port);
        const TNearbyContacts phonebook({ { "Jane Doe", row.Address, row.Port } });
        const TNearbyContacts::TVerdict verdict = phonebook.Judge(row.Shown, there);
        EXPECT_EQ(verdict.Standing, row.Expected);
        EXPECT_EQ(verdict.Contact, row.Expected == Stranger ? "" : "Jane Doe");
    }
    // Of two contacts whose names read alike, the one called there; else the one named so, else
    // the first.
    const TNearbyContacts two({ { "jane doe", "169.254.23.7", "2323" }, { "Jane Doe", "x", "1" } });
    EXPECT_EQ(two.Judge("JaneDoe", there), (TNearbyContacts::TVerdict { Contact, "jane doe" }));
    const TNearbyContacts neither({ { "jane doe", "x", "1" }, { "Jane Doe", "y", "1" } });
    EXPECT_EQ(neither.Judge("Jane Doe", there).Contact, "Jane Doe");
    EXPECT_EQ(neither.Judge("JaneDoe", there).Contact, "jane doe");
}

} // namespace
} // namespace quillet
