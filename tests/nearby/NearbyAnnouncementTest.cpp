#include "nearby/TDeferredNearbyService.h"
#include "nearby/TNearbyAnnouncement.h"
#include "nearby/TNearbyPeople.h"
#include "support/FakeNearbyService.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace quillet {
namespace {

using Calls = std::vector<std::string>;

// Each step changes what the announcement depends on; the service hears only real changes.
TEST(NearbyAnnouncement, FollowsTheChoiceTheNameAndThePort)
{
    testing::TFakeNearbyService service;
    TNearbyAnnouncement announcement(service);
    const struct {
        const char* What;
        bool Visible;
        std::string Name;
        std::uint16_t Port;
        Calls Expected;
    } steps[] = {
        { "not chosen", false, "Ann", 2323, {} },
        { "chosen, calls not answered yet", true, "Ann", 0, {} },
        { "calls answered", true, "Ann", 2323, { "announce Ann 2323" } },
        { "nothing changed", true, "Ann", 2323, {} },
        { "a new name", true, "Ann Smith", 2323, { "announce Ann Smith 2323" } },
        { "a name that cleans to the same", true, " Ann Smith\n", 2323, {} },
        { "the port taken", true, "Ann Smith", 0, { "withdraw" } },
        { "answering again", true, "Ann Smith", 2323, { "announce Ann Smith 2323" } },
        { "another port", true, "Ann Smith", 2424, { "announce Ann Smith 2424" } },
        { "no name stored", true, "", 2424, { "announce John Doe 2424" } },
        { "turned off", false, "", 2424, { "withdraw" } },
        { "off stays off", false, "Bob", 2323, {} },
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.What);
        service.Calls.clear();
        announcement.Update(step.Visible, step.Name, step.Port);
        EXPECT_EQ(service.Calls, step.Expected);
    }
    EXPECT_FALSE(announcement.Current().has_value());
}

TEST(DeferredNearbyService, TheRealServiceIsMadeOnlyWhenSomethingNeedsIt)
{
    int made = 0;
    testing::TFakeNearbyService* real = nullptr;
    TDeferredNearbyService deferred([&] {
        ++made;
        auto service = std::make_unique<testing::TFakeNearbyService>();
        real = service.get();
        return service;
    });
    TNearbyPeople people;
    INearbyListener* listener = &people;

    deferred.SetListener(listener);
    deferred.StopBrowsing();
    deferred.Withdraw();
    EXPECT_EQ(made, 0) << "stopping or withdrawing what never started makes nothing";
    EXPECT_EQ(deferred.Made(), nullptr);

    deferred.Announce("Ann", 2323);
    ASSERT_EQ(made, 1);
    EXPECT_EQ(real->Listener, listener) << "the listener set before is handed on";
    EXPECT_EQ(real->Calls, Calls { "announce Ann 2323" });

    deferred.StartBrowsing();
    deferred.StopBrowsing();
    deferred.Withdraw();
    deferred.SetListener(nullptr);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(real->Calls, (Calls { "announce Ann 2323", "browse", "stop", "withdraw" }));
    EXPECT_EQ(real->Listener, nullptr);
}

} // namespace
} // namespace quillet
