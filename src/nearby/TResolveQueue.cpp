#include "nearby/TResolveQueue.h"

#include <algorithm>

namespace quillet {

void TResolveQueue::Add(const TNearbySighting& sighting)
{
    if (Entries.contains(sighting))
        return;
    if (Entries.size() >= MaxKept)
        DropOne();
    const auto entry = Entries.emplace(sighting, TEntry {}).first;
    entry->second.Order = NextOrder++;
    Untried.emplace(entry->second.Order, entry);
}

void TResolveQueue::Remove(const TNearbySighting& sighting)
{
    const auto entry = Entries.find(sighting);
    if (entry == Entries.end())
        return;
    Unindex(entry);
    Entries.erase(entry);
}

void TResolveQueue::Clear()
{
    LastTimeOut = {};
    Running.clear();
    Untried.clear();
    Retries.clear();
    Entries.clear();
}

std::optional<TNearbySighting> TResolveQueue::Next(TTime now)
{
    if (Running.size() >= MaxResolving)
        return std::nullopt;
    TEntries::iterator entry;
    if (!Untried.empty()) {
        entry = std::prev(Untried.end())->second;
    } else if (!Retries.empty() && Retries.begin()->first.first <= now) {
        entry = Retries.begin()->second;
    } else {
        return std::nullopt;
    }
    Unindex(entry);
    entry->second.State = TState::Resolving;
    // Resolutions started together would time out together and free all their places at once.
    // The spacing is chosen so that MaxResolving time-outs fit between the shortest and the
    // longest try.
    LastTimeOut = std::clamp(LastTimeOut + TimeOutSpacing, now + ShortestTry, now + ResolveTimeout);
    entry->second.Time = LastTimeOut;
    Running.push_back(entry);
    return entry->first;
}

void TResolveQueue::Resolved(const TNearbySighting& sighting)
{
    Remove(sighting);
}

void TResolveQueue::Failed(const TNearbySighting& sighting, TTime now)
{
    const auto entry = Entries.find(sighting);
    if (entry != Entries.end())
        Fail(entry, now);
}

std::vector<TNearbySighting> TResolveQueue::TimedOut(TTime now)
{
    std::vector<TEntries::iterator> due;
    for (const TEntries::iterator entry : Running) {
        if (entry->second.Time <= now)
            due.push_back(entry);
    }
    std::vector<TNearbySighting> sightings;
    for (const TEntries::iterator entry : due) {
        sightings.push_back(entry->first);
        Fail(entry, now);
    }
    return sightings;
}

std::optional<TResolveQueue::TTime> TResolveQueue::NextWake() const
{
    std::optional<TTime> wake;
    for (const TEntries::iterator entry : Running) {
        if (!wake || entry->second.Time < *wake)
            wake = entry->second.Time;
    }
    if (Running.size() < MaxResolving && !Retries.empty()) {
        const TTime due = Retries.begin()->first.first;
        if (!wake || due < *wake)
            wake = due;
    }
    return wake;
}

void TResolveQueue::Unindex(TEntries::iterator entry)
{
    TEntry& state = entry->second;
    switch (state.State) {
    case TState::Untried:
        Untried.erase(state.Order);
        break;
    case TState::Retry:
        Retries.erase({ state.Time, state.Order });
        break;
    case TState::Resolving:
        std::erase(Running, entry);
        break;
    }
}

void TResolveQueue::Fail(TEntries::iterator entry, TTime now)
{
    Unindex(entry);
    TEntry& state = entry->second;
    ++state.Failures;
    // 10 s, 20 s, 40 s, ... up to the longest; the shift stops well before it could overflow.
    const unsigned doublings = std::min(state.Failures - 1, 16U);
    const auto backOff
        = std::min<std::chrono::milliseconds>(FirstRetry * (1LL << doublings), LongestRetry);
    state.State = TState::Retry;
    state.Time = now + backOff;
    state.Order = NextOrder++;
    Retries.emplace(std::make_pair(state.Time, state.Order), entry);
}

void TResolveQueue::DropOne()
{
    TEntries::iterator victim;
    if (!Retries.empty())
        victim = std::prev(Retries.end())->second;
    else if (!Untried.empty())
        victim = Untried.begin()->second;
    else
        return;
    Unindex(victim);
    Entries.erase(victim);
}

} // namespace quillet
