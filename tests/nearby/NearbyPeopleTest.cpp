#include "nearby/TNearbyPeople.h"
#include "support/FakeNearbyService.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillet {
namespace {

// Keeps its own copy of the rows from the notifications alone, the way an item view does; if
// the model ever announces a change at the wrong row, the copy stops matching the model.
class TShadowRows final : public INearbyPeopleObserver {
public:
    explicit TShadowRows(const TNearbyPeople& people)
        : People(people)
    {
    }

    void BeforeInsert(std::size_t row) override { Pending = row; }
    void AfterInsert() override
    {
        Rows.insert(Rows.begin() + static_cast<std::ptrdiff_t>(Pending), People.Row(Pending));
    }
    void BeforeRemove(std::size_t row) override { Pending = row; }
    void AfterRemove() override { Rows.erase(Rows.begin() + static_cast<std::ptrdiff_t>(Pending)); }
    void BeforeReset() override { ++Resets; }
    void AfterReset() override
    {
        Rows.clear();
        for (std::size_t i = 0; i < People.RowCount(); ++i)
            Rows.push_back(People.Row(i));
    }
    void RowChanged(std::size_t row) override
    {
        Rows.at(row) = People.Row(row);
        ++Changes;
    }
    void StatusChanged() override { ++Statuses; }

    const TNearbyPeople& People;
    std::vector<TNearbyPerson> Rows;
    std::size_t Pending = 0;
    int Resets = 0;
    int Changes = 0;
    int Statuses = 0;
};

class NearbyPeople : public ::testing::Test {
protected:
    void SetUp() override
    {
        People.SetObserver(&Shadow);
        Service.SetListener(&People);
        People.ServiceStateChanged(TNearbyServiceState::Running);
    }
    void TearDown() override
    {
        // Whatever the test did, the view's copy followed every step.
        ASSERT_EQ(Shadow.Rows.size(), People.RowCount());
        for (std::size_t i = 0; i < People.RowCount(); ++i)
            EXPECT_EQ(Shadow.Rows[i], People.Row(i)) << "row " << i;
    }

    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < People.RowCount(); ++i)
            names.push_back(People.Row(i).Name);
        return names;
    }

    TNearbyPeople People;
    TShadowRows Shadow { People };
    testing::TFakeNearbyService Service;
};

TEST_F(NearbyPeople, OneServiceSeenOnSeveralInterfacesIsOneRow)
{
    const TNearbySighting wired { 2, 0, "Ann", "local" };
    const TNearbySighting wireless { 3, 0, "Ann", "local" };
    const TNearbySighting wiredV6 { 2, 1, "Ann", "local" };
    People.Found(wired, false);
    People.Found(wireless, false);
    People.Found(wiredV6, false);
    EXPECT_EQ(People.RowCount(), 0u) << "no row before an address is known";

    People.Changed(wireless, { "ann.local", "10.0.0.7", 2323 });
    People.Changed(wired, { "ann.local", "192.168.1.7", 2323 });
    People.Changed(wiredV6, { "ann.local", "192.168.1.7", 2323 });
    ASSERT_EQ(Names(), std::vector<std::string> { "Ann" });
    EXPECT_EQ(People.Row(0).Endpoint.Address, "10.0.0.7") << "the first address stays";
    EXPECT_EQ(Shadow.Changes, 0);

    People.Gone(wireless);
    ASSERT_EQ(People.RowCount(), 1u);
    EXPECT_EQ(People.Row(0).Endpoint.Address, "192.168.1.7") << "the link that is left";
    EXPECT_EQ(Shadow.Changes, 1);
    People.Gone(wired);
    ASSERT_EQ(People.RowCount(), 1u);
    EXPECT_EQ(People.Row(0).Endpoint.Address, "192.168.1.7") << "still seen over IPv6 there";
    EXPECT_EQ(Shadow.Changes, 1);
    People.Gone(wiredV6);
    EXPECT_EQ(People.RowCount(), 0u);
}

TEST_F(NearbyPeople, TheOwnCopyIsNeverListed)
{
    Service.Appear("Me", "10.0.0.1", 2, 2323, true);
    EXPECT_EQ(People.RowCount(), 0u);
    // The same announcement reported on another interface without the mark stays hidden.
    Service.Appear("Me", "10.0.0.1", 3, 2323, false);
    EXPECT_EQ(People.RowCount(), 0u);
    Service.Appear("Bob", "10.0.0.2");
    EXPECT_EQ(Names(), std::vector<std::string> { "Bob" });
    // Another copy under the name this copy announces is someone else.
    People.AnnouncedAs("Me");
    Service.Appear("Me", "10.0.0.9", 4, 2323, false);
    Service.Leave("Me", 2);
    Service.Leave("Me", 3);
    EXPECT_EQ(Names(), (std::vector<std::string> { "Bob", "Me" }));
}

TEST_F(NearbyPeople, RenamesReplaceTheRowInEitherOrder)
{
    Service.Appear("Ann", "10.0.0.7");
    Service.Appear("Carl", "10.0.0.9");
    // Goodbye first, then the new name.
    Service.Leave("Ann");
    Service.Appear("Zoe", "10.0.0.7");
    EXPECT_EQ(Names(), (std::vector<std::string> { "Carl", "Zoe" }));
    // The new name first, then the goodbye.
    Service.Appear("Abe", "10.0.0.7");
    EXPECT_EQ(Names(), (std::vector<std::string> { "Abe", "Carl", "Zoe" }));
    Service.Leave("Zoe");
    EXPECT_EQ(Names(), (std::vector<std::string> { "Abe", "Carl" }));
    // A collision's alternative name is another person, sorted in its place.
    Service.Appear("Abe #2", "10.0.0.8");
    EXPECT_EQ(Names(), (std::vector<std::string> { "Abe", "Abe #2", "Carl" }));
}

TEST_F(NearbyPeople, AComputerThatMovesOrIsRenamedKeepsItsRow)
{
    Service.Appear("Ann", "10.0.0.7");
    const int changes = Shadow.Changes;
    People.Changed({ 2, 0, "Ann", "local" }, { "annsbox.local", "10.0.0.8", 2424 });
    ASSERT_EQ(People.RowCount(), 1u);
    EXPECT_EQ(People.Row(0).Endpoint, (TNearbyEndpoint { "annsbox.local", "10.0.0.8", 2424 }));
    EXPECT_EQ(Shadow.Changes, changes + 1);
    // The same report again changes nothing.
    People.Changed({ 2, 0, "Ann", "local" }, { "annsbox.local", "10.0.0.8", 2424 });
    EXPECT_EQ(Shadow.Changes, changes + 1);
}

TEST_F(NearbyPeople, ReportsAboutUnknownSightingsAreIgnored)
{
    Service.Appear("Ann", "10.0.0.7");
    People.Changed({ 2, 0, "Nobody", "local" }, { "x.local", "10.0.0.1", 1 });
    People.Gone({ 2, 0, "Nobody", "local" });
    People.Gone({ 9, 0, "Ann", "local" }); // Ann is not seen on interface 9
    People.Changed({ 9, 0, "Ann", "local" }, { "x.local", "10.0.0.1", 1 });
    ASSERT_EQ(Names(), std::vector<std::string> { "Ann" });
    EXPECT_EQ(People.Row(0).Endpoint.Address, "10.0.0.7");
    // An address that arrives after the goodbye brings nobody back.
    Service.Leave("Ann");
    People.Changed({ 2, 0, "Ann", "local" }, { "ann.local", "10.0.0.7", 2323 });
    EXPECT_EQ(People.RowCount(), 0u);
}

TEST_F(NearbyPeople, RowsAreSortedIgnoringCaseAndShowCleanedNames)
{
    for (const char* name : { "bob", "Carl", "alice", "Bob", "Ann\xE2\x80\xAE", "  " })
        Service.Appear(name, "10.0.0.1");
    // Two names the same but for case both stay; a name with nothing to show is shown as the
    // computer's name.
    EXPECT_EQ(Names(), (std::vector<std::string> { "-pc", "alice", "Ann", "Bob", "bob", "Carl" }));
}

TEST_F(NearbyPeople, OnlyShownPeopleCountAndThoseWaitingComeInAsPlacesFree)
{
    // Thousands of names that never resolve take no place.
    for (int i = 0; i < 3000; ++i)
        Service.Appear("Silent " + std::to_string(i), "");
    for (std::size_t i = 0; i < TNearbyPeople::MaxPeople; ++i)
        Service.Appear("P" + std::to_string(i), "10.0.0.1");
    EXPECT_FALSE(People.Overflowed());
    // People resolved while the list is full wait, in the order they were resolved.
    const int statuses = Shadow.Statuses;
    Service.Appear("Zed", "10.0.0.2");
    Service.Appear("Amy", "10.0.0.3");
    EXPECT_TRUE(People.Overflowed());
    Service.Leave("P7");
    EXPECT_EQ(People.Row(People.RowCount() - 1).Name, "Zed");
    Service.Leave("Amy");
    EXPECT_FALSE(People.Overflowed());
    EXPECT_EQ(Shadow.Statuses, statuses + 2);
    EXPECT_EQ(People.RowCount(), TNearbyPeople::MaxPeople);

    // Beyond MaxServices (so far the silent ones and the rows), services are turned away until
    // the list is cleared.
    Service.Leave("P8");
    for (std::size_t i = 3000 + People.RowCount(); i < TNearbyPeople::MaxServices; ++i)
        Service.Appear("More " + std::to_string(i), "");
    Service.Appear("Turned away", "10.0.0.4");
    EXPECT_TRUE(People.Overflowed());
    EXPECT_EQ(People.RowCount(), TNearbyPeople::MaxPeople - 1);
    Service.Appear("Silent 5", "10.0.0.5");
    EXPECT_EQ(People.RowCount(), TNearbyPeople::MaxPeople) << "one kept resolves at last";
    People.Clear();
    EXPECT_FALSE(People.Overflowed());
}

TEST_F(NearbyPeople, OnlyAddressesThatCanBeCalledAreShown)
{
    Service.Appear("Loop", "127.0.0.1");
    Service.Appear("Group", "224.0.0.1");
    Service.Appear("Nowhere", "10.0.0.7", 2, 0);
    EXPECT_EQ(People.RowCount(), 0u);
    // Seen on another link where it can be called, the same service is listed there.
    Service.Appear("Loop", "10.0.0.8", 3);
    ASSERT_EQ(Names(), std::vector<std::string> { "Loop" });
    EXPECT_EQ(People.Row(0).Endpoint.Address, "10.0.0.8");
    People.Changed({ 3, 0, "Loop", "local" }, { "loop.local", "0.0.0.0", 2323 });
    EXPECT_EQ(People.RowCount(), 0u);
}

TEST_F(NearbyPeople, RowsAreWeighedAgainstThePhonebookAsItComesAndChanges)
{
    Service.Appear("Bob", "10.0.0.8");
    Service.Appear("Jane\xE2\x80\x8B"
                   "Doe",
        "10.0.0.7");
    People.SetContacts({ { "Jane Doe", "10.0.0.70", "2323" } });
    EXPECT_EQ(People.Row(1).Standing, TNearbyStanding::NotContact);
    EXPECT_EQ(People.Row(1).Contact, "Jane Doe");
    EXPECT_EQ(Shadow.Changes, 1) << "only the row that changed";
    Service.Appear("Jane Doe", "10.0.0.70");
    EXPECT_EQ(People.Row(1).Standing, TNearbyStanding::Contact);
    People.SetContacts({});
    EXPECT_EQ(People.Row(1).Standing, TNearbyStanding::Stranger);
}

TEST_F(NearbyPeople, TheDaemonGoingAwayEmptiesTheListAndTheStatusFollows)
{
    Service.Appear("Ann", "10.0.0.7");
    const int statuses = Shadow.Statuses;
    People.ServiceStateChanged(TNearbyServiceState::NotRunning);
    EXPECT_EQ(People.RowCount(), 0u);
    EXPECT_EQ(People.ServiceState(), TNearbyServiceState::NotRunning);
    EXPECT_EQ(Shadow.Statuses, statuses + 1);
    // Old sightings reported late do not count for the new run.
    People.ServiceStateChanged(TNearbyServiceState::Running);
    People.Changed({ 2, 0, "Ann", "local" }, { "ann.local", "10.0.0.7", 2323 });
    EXPECT_EQ(People.RowCount(), 0u);

    People.AnnouncedAs("Me #2");
    EXPECT_EQ(People.AnnouncedName(), "Me #2");
    EXPECT_EQ(Shadow.Statuses, statuses + 3);
}

} // namespace
} // namespace quillet
