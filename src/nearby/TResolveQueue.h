#pragma once

#include "nearby/NearbyService.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <tuple>
#include <vector>

namespace quillet {

// Which sightings are resolved (asked for their address) when, for a discovery service that can
// resolve only a few at a time. Anyone on the network can announce thousands of names that never
// resolve; they must neither hold every resolution nor keep a real person waiting behind them:
//
// - At most MaxResolving resolve at once, each for at most ResolveTimeout; then it gives up its
//   place. Time-outs are spread at least TimeOutSpacing apart (each one at least ShortestTry
//   after its start), so that under a flood places come free one at a time and a newcomer waits
//   a fraction of a second for one, not until a whole batch times out together.
// - A sighting never tried goes first, the newest of them before older ones: a person who turns
//   up during a flood of silent names is asked at the next free place, not behind the flood.
// - One that failed (timed out, or the daemon gave up) is tried again only after a back-off that
//   doubles with each failure from FirstRetry up to LongestRetry, and only when no untried one
//   waits, the longest overdue first.
// - At most MaxKept are kept, resolving or waiting; to make room for a newcomer, the one that
//   failed most recently with the longest back-off goes, else the oldest untried one.
//
// Resolved or gone sightings are forgotten. Time comes from the caller. Not thread-safe: one
// caller at a time.
class TResolveQueue {
public:
    using TClock = std::chrono::steady_clock;
    using TTime = TClock::time_point;

    // The daemon counts every resolution against the objects a client may hold (1,024 by
    // default), and each one has it ask the network.
    static constexpr std::size_t MaxResolving = 16;
    // A copy on the same network answers within a fraction of a second, but a daemon busy with a
    // flood answers the program late; the daemon itself would wait 5 s.
    static constexpr std::chrono::milliseconds ResolveTimeout { 2800 };
    static constexpr std::chrono::milliseconds ShortestTry { 2000 };
    static constexpr std::chrono::milliseconds TimeOutSpacing
        = (ResolveTimeout - ShortestTry) / MaxResolving;
    static constexpr std::chrono::milliseconds FirstRetry { 10000 };
    static constexpr std::chrono::milliseconds LongestRetry { 5 * 60 * 1000 };
    static constexpr std::size_t MaxKept = 10000;

    // A new sighting (one already kept stays where it is).
    void Add(const TNearbySighting& sighting);
    // Gone from the network: forgotten, also while it resolves.
    void Remove(const TNearbySighting& sighting);
    void Clear();

    // The next sighting to resolve at `now`, if a place is free and one waits; it resolves from
    // now on, until Resolved, Failed or its time-out.
    std::optional<TNearbySighting> Next(TTime now);
    // It resolved: forgotten.
    void Resolved(const TNearbySighting& sighting);
    // It could not be resolved (the daemon gave up, or a resolution could not even be started):
    // it waits for its back-off.
    void Failed(const TNearbySighting& sighting, TTime now);
    // The resolutions whose time is up at `now`: they fail (as Failed) and are returned, so that
    // the caller can end them.
    std::vector<TNearbySighting> TimedOut(TTime now);
    // When TimedOut or Next may have something to do without anything else happening first:
    // the earliest time-out, or the earliest back-off's end while a place is free.
    std::optional<TTime> NextWake() const;

    std::size_t Resolving() const { return Running.size(); }
    std::size_t Kept() const { return Entries.size(); }

private:
    enum class TState : std::uint8_t { Untried, Resolving, Retry };

    struct TEntry {
        TState State = TState::Untried;
        unsigned Failures = 0;
        std::uint64_t Order = 0; // Untried: when it came; Retry: a tie-breaker
        TTime Time {}; // Resolving: its time-out; Retry: when it may be tried again
    };

    // Field by field, rather than through the defaulted <=>, whose rewritten `< 0` clang-tidy 14
    // reports as a literal that should be nullptr.
    struct TSightingOrder {
        bool operator()(const TNearbySighting& a, const TNearbySighting& b) const
        {
            return std::tie(a.Interface, a.Protocol, a.Name, a.Domain)
                < std::tie(b.Interface, b.Protocol, b.Name, b.Domain);
        }
    };
    using TEntries = std::map<TNearbySighting, TEntry, TSightingOrder>;
    // Untried sightings by arrival, and retries by the end of their back-off.
    using TUntried = std::map<std::uint64_t, TEntries::iterator>;
    using TRetries = std::map<std::pair<TTime, std::uint64_t>, TEntries::iterator>;

    // Takes the entry out of the index of its state.
    void Unindex(TEntries::iterator entry);
    void Fail(TEntries::iterator entry, TTime now);
    // Makes room for one more.
    void DropOne();

    TEntries Entries;
    TUntried Untried;
    TRetries Retries;
    std::vector<TEntries::iterator> Running;
    TTime LastTimeOut {}; // of the latest resolution started
    std::uint64_t NextOrder = 1;
};

} // namespace quillet
