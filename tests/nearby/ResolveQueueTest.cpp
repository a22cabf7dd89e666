#include "nearby/TResolveQueue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillet {
namespace {

using namespace std::chrono_literals;
using Names = std::vector<std::string>;

TNearbySighting Seen(const std::string& name)
{
    return { 2, 0, name, "local" };
}

// Steps at a time (ms): sightings added, resolved, gone or failed by the daemon's word, and what
// the queue then gives: the ones whose time ran out ("late S0") and the ones whose turn it is.
// 18 silent names S0 .. S17 are there at 0 ms.
TEST(ResolveQueue, NewcomersGoFirstAndSilentNamesGiveTheirPlacesUpOneAtATime)
{
    static_assert(TResolveQueue::MaxResolving == 16 && TResolveQueue::ResolveTimeout == 2800ms
        && TResolveQueue::ShortestTry == 2s && TResolveQueue::TimeOutSpacing == 50ms);
    const Names first16 { "S17", "S16", "S15", "S14", "S13", "S12", "S11", "S10", "S9", "S8", "S7",
        "S6", "S5", "S4", "S3", "S2" };
    Names lateS14toS2;
    for (auto name = first16.begin() + 3; name != first16.end(); ++name)
        lateS14toS2.push_back("late " + *name);
    const struct {
        int At;
        const char* Add;
        const char* Resolved;
        const char* Gone;
        const char* Failed;
        Names Gives;
    } steps[] = {
        // The newest first; they time out 2,000 ms to 2,750 ms from now, 50 ms apart.
        { 0, nullptr, nullptr, nullptr, nullptr, first16 },
        { 500, "Ann", nullptr, nullptr, nullptr, {} }, // every place is taken
        { 2000, nullptr, nullptr, nullptr, nullptr, { "late S17", "Ann" } }, // the first free one
        { 2050, nullptr, nullptr, nullptr, nullptr, { "late S16", "S1" } },
        { 2100, nullptr, "Ann", "S1", nullptr, { "late S15", "S0" } },
        { 2799, nullptr, nullptr, nullptr, nullptr, lateS14toS2 }, // no retry before its back-off
        { 4100, nullptr, nullptr, nullptr, nullptr, { "late S0" } },
        { 11000, "Bob", nullptr, nullptr, nullptr, { "Bob" } },
        // The retries due, the longest overdue first, in the places left.
        { 12799, nullptr, nullptr, nullptr, nullptr, Names(first16.begin(), first16.end() - 1) },
        { 12900, "Cy", nullptr, nullptr, "Bob", { "Cy" } }, // a newcomer before every retry
        { 14799, nullptr, nullptr, nullptr, nullptr, { "late S17", "S2" } },
        { 14849, nullptr, nullptr, nullptr, nullptr, { "late S16", "S0" } },
    };
    TResolveQueue queue;
    const TResolveQueue::TTime start = TResolveQueue::TClock::now();
    for (int i = 0; i < 18; ++i)
        queue.Add(Seen("S" + std::to_string(i)));
    for (const auto& step : steps) {
        SCOPED_TRACE(step.At);
        const TResolveQueue::TTime now = start + std::chrono::milliseconds(step.At);
        if (step.Add != nullptr)
            queue.Add(Seen(step.Add));
        if (step.Resolved != nullptr)
            queue.Resolved(Seen(step.Resolved));
        if (step.Gone != nullptr)
            queue.Remove(Seen(step.Gone));
        if (step.Failed != nullptr)
            queue.Failed(Seen(step.Failed), now);
        Names gives;
        for (const TNearbySighting& sighting : queue.TimedOut(now))
            gives.push_back("late " + sighting.Name);
        while (const auto next = queue.Next(now))
            gives.push_back(next->Name);
        EXPECT_EQ(gives, step.Gives);
    }
    EXPECT_EQ(queue.Kept(), 19u) << "Ann resolved, S1 gone; Bob, Cy and the silent ones kept";
    EXPECT_EQ(queue.NextWake(), start + 14899ms) << "S15's time-out";
}

TEST(ResolveQueue, TheBackOffDoublesUpToItsLongest)
{
    TResolveQueue queue;
    queue.Add(Seen("X"));
    TResolveQueue::TTime now = TResolveQueue::TClock::now();
    for (const std::chrono::seconds delay : { 10s, 20s, 40s, 80s, 160s, 300s, 300s }) {
        SCOPED_TRACE(delay.count());
        ASSERT_TRUE(queue.Next(now).has_value());
        // The daemon's own failure counts as a time-out does.
        if (delay == 40s)
            queue.Failed(Seen("X"), now);
        else
            ASSERT_EQ(queue.TimedOut(now += TResolveQueue::ResolveTimeout).size(), 1u);
        EXPECT_EQ(queue.NextWake(), now + delay);
        EXPECT_FALSE(queue.Next(now + delay - 1ms).has_value());
        now += delay;
    }
}

TEST(ResolveQueue, WhenFullTheMostBackedOffGoesElseTheOldest)
{
    TResolveQueue queue;
    const TResolveQueue::TTime now = TResolveQueue::TClock::now();
    queue.Add(Seen("Failing"));
    queue.Failed(*queue.Next(now), now);
    for (std::size_t i = 0; i < TResolveQueue::MaxKept + 1; ++i)
        queue.Add(Seen(i == 0 ? "Oldest" : "P" + std::to_string(i)));
    EXPECT_EQ(queue.Kept(), TResolveQueue::MaxKept);
    std::size_t resolved = 0;
    while (const auto next = queue.Next(now + 1h)) {
        ASSERT_NE(next->Name, "Failing");
        ASSERT_NE(next->Name, "Oldest");
        queue.Resolved(*next);
        ++resolved;
    }
    EXPECT_EQ(resolved, TResolveQueue::MaxKept);
}

} // namespace
} // namespace quillet
