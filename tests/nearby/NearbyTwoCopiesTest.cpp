// Two copies of the real program on two computers of their own: network namespaces joined by a
// veth pair, each with its own system bus and discovery daemon (tests/nearby/avahi-sandbox), so
// that nothing is announced on this machine's network. Copy A (Ann) is visible, copy B (Bob)
// is not.

#include "support/NearbyCopy.h"

#include <gtest/gtest.h>

#include <iostream>
#include <memory>

namespace quillet {
namespace {

using namespace std::chrono_literals;

class NearbyTwoCopies : public ::testing::Test {
protected:
    void SetUp() override
    {
        Sandbox = std::make_unique<testing::TAvahiSandbox>(QUILLET_AVAHI_SANDBOX);
        if (const auto reason = Sandbox->Up())
            GTEST_SKIP() << "People Nearby between two computers is not tested here: " << *reason;
        ASSERT_TRUE(Ann.Prepare(QUILLET_NEARBY_COPY, "User name=Ann\nVisible Nearby=1\n"));
        ASSERT_TRUE(Bob.Prepare(QUILLET_NEARBY_COPY, "User name=Bob\n"));
    }

    void TearDown() override
    {
        if (HasFailure()) {
            std::cerr << "--- Ann's standard error:\n"
                      << Ann.ErrorLog() << "--- Bob's:\n"
                      << Bob.ErrorLog() << "--- last answers: " << Ann.LastAnswer.toStdString()
                      << " / " << Bob.LastAnswer.toStdString() << '\n';
        }
    }

    static bool Is(const QString& answer, const QStringList& fields)
    {
        return testing::TNearbyCopy::Fields(answer) == fields;
    }

    std::unique_ptr<testing::TAvahiSandbox> Sandbox;
    testing::TNearbyCopy Ann;
    testing::TNearbyCopy Bob;
};

TEST_F(NearbyTwoCopies, BobFindsAnnDialsHerAndSeesHerGoWhenSheHidesOrEnds)
{
    ASSERT_TRUE(Ann.Start(*Sandbox, "A"));
    ASSERT_TRUE(Bob.Start(*Sandbox, "B"));
    const QString annRow = "Ann|" + QString::fromStdString(Sandbox->Value("A_ADDRESS")) + "|2323";

    ASSERT_EQ(Bob.Ask("open"), "ok");
    ASSERT_TRUE(Bob.WaitFor("rows", [&](const QString& a) { return Is(a, { annRow }); }));
    ASSERT_EQ(Ann.Ask("open"), "ok");

    // Enter in Bob's list calls Ann; her copy answers with her name, and his with his.
    ASSERT_EQ(Bob.Ask("dial"), "ok");
    ASSERT_TRUE(Bob.WaitFor("tabs", [](const QString& a) { return Is(a, { "Ann" }); }));
    ASSERT_TRUE(Ann.WaitFor("tabs", [](const QString& a) { return Is(a, { "Bob" }); }));

    // Ann hides: she leaves Bob's list; she shows herself again: she is back.
    ASSERT_EQ(Ann.Ask("visible"), "ok 0");
    ASSERT_TRUE(Bob.WaitFor("rows", [](const QString& a) { return Is(a, {}); }));
    ASSERT_EQ(Ann.Ask("visible"), "ok 1");
    ASSERT_TRUE(Bob.WaitFor("rows", [&](const QString& a) { return Is(a, { annRow }); }));
    ASSERT_TRUE(Ann.WaitFor("state",
        [](const QString& a) { return a.endsWith("Others nearby see you as \u201CAnn\u201D."); }));

    // Bob, who is not visible, never showed in Ann's list, nor did Ann herself.
    EXPECT_TRUE(Is(Ann.Ask("seen"), {}));

    // Ann ends: she leaves Bob's list.
    ASSERT_EQ(Ann.Ask("quit"), "ok");
    ASSERT_TRUE(Ann.Ended(15s));
    ASSERT_TRUE(Bob.WaitFor("rows", [](const QString& a) { return Is(a, {}); }));
    EXPECT_EQ(Bob.Ask("quit"), "ok");
    EXPECT_TRUE(Bob.Ended(15s));
}

TEST_F(NearbyTwoCopies, TheListSaysWhenTheServiceIsMissingAndTwoAnnsAreToldApart)
{
    // The second copy's user is called Ann too.
    ASSERT_TRUE(Bob.WriteSettings("User name=Ann\n"));
    ASSERT_TRUE(Sandbox->Stop("b"));
    ASSERT_TRUE(Ann.Start(*Sandbox, "A"));
    ASSERT_TRUE(Bob.Start(*Sandbox, "B"));
    ASSERT_EQ(Bob.Ask("open"), "ok");
    ASSERT_TRUE(Bob.WaitFor("state", [](const QString& a) {
        return a.contains("needs the Avahi service (avahi-daemon), and it is not running");
    }));

    // The service starts: the copy picks it up by itself.
    ASSERT_TRUE(Sandbox->Start("b"));
    const QString annRow = "Ann|" + QString::fromStdString(Sandbox->Value("A_ADDRESS")) + "|2323";
    ASSERT_TRUE(Bob.WaitFor("rows", [&](const QString& a) { return Is(a, { annRow }); }));

    // The second Ann turns visible under the name the first one announces: the daemon gives her
    // its alternative name, and each list shows what the other copy announced.
    ASSERT_EQ(Ann.Ask("open"), "ok");
    ASSERT_EQ(Bob.Ask("visible"), "ok 1");
    ASSERT_TRUE(Bob.WaitFor("state", [](const QString& a) {
        return a.endsWith("Others nearby see you as \u201CAnn #2\u201D.");
    }));
    const QString secondRow
        = "Ann #2|" + QString::fromStdString(Sandbox->Value("B_ADDRESS")) + "|2323";
    ASSERT_TRUE(Ann.WaitFor("rows", [&](const QString& a) { return Is(a, { secondRow }); }));
    EXPECT_TRUE(Is(Bob.Ask("rows"), { annRow }));
}

} // namespace
} // namespace quillet
