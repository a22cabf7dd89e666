#pragma once

#include <mutex>

namespace quillet {

// A way for any thread to wake a thread that waits on descriptors: the waiter puts Fd() into its
// poll (readable once woken) and clears the signal before it looks at what it was woken for, so
// that a wake-up made meanwhile is never lost. An eventfd: one descriptor, no pipe pair.
//
// Wake may be called from any thread at any time, also while or after the owner closes the
// signal: the descriptor is written only under the lock, so a closed descriptor's number, which
// the system may already have handed to a new connection, is never written to.
class TWakeSignal {
public:
    // Opens the descriptor; Fd() is -1 when the system had none to give (Wake then does nothing,
    // and the waiter must not wait without a time limit).
    TWakeSignal();
    ~TWakeSignal();

    TWakeSignal(const TWakeSignal&) = delete;
    TWakeSignal& operator=(const TWakeSignal&) = delete;

    // Any thread.
    void Wake();
    // The waiting thread: forgets the wake-ups made so far.
    void Clear();
    // The waiting thread, once it waits no more: gives the descriptor back.
    void Close();
    // Only the waiting thread reads it (no other thread closes the signal).
    int Fd() const { return Descriptor; }

private:
    std::mutex Lock;
    int Descriptor = -1; // written under Lock
};

} // namespace quillet
