#pragma once

#include <cstddef>

namespace quillet {

// Told of every change of the People Nearby rows, before and after it happens (the way item
// views want to hear of it), and of every change of what the window says besides the rows.
class INearbyPeopleObserver {
public:
    virtual ~INearbyPeopleObserver() = default;

    virtual void BeforeInsert(std::size_t row) = 0;
    virtual void AfterInsert() = 0;
    virtual void BeforeRemove(std::size_t row) = 0;
    virtual void AfterRemove() = 0;
    virtual void BeforeReset() = 0;
    virtual void AfterReset() = 0;
    // The row's address, port or computer name changed; it stays where it is.
    virtual void RowChanged(std::size_t row) = 0;
    // The service state, the own announced name or the overflow changed.
    virtual void StatusChanged() = 0;
};

} // namespace quillet
