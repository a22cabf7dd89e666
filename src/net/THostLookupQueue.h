#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace quillet {

// Where host-name lookups take their turn: at most a few run at once, the others wait in the
// order they came.
//
// The system resolver cannot be interrupted: a lookup whose name service never answers holds
// its thread for as long as the resolver's own time-outs last, also when nobody waits for its
// answer any longer. Without a cap, every dial to such a name would add a thread that nothing
// can end. With it, those lookups hold MaxRunning threads at most, and later ones wait (a wait
// their callers can give up, at once and without a thread, as for any lookup).
//
// The lookups run on threads of their own that take the waiting lookups in turn and end when
// none waits. Those threads are never joined: they share only the queue's state with the rest of
// the program, which the last of them lets go of, so the queue may go while they still run. When
// the last one ends, the memory that the lookups used is given back to the system.
class THostLookupQueue {
public:
    static constexpr std::size_t DefaultMaxRunning = 4;

    explicit THostLookupQueue(std::size_t maxRunning = DefaultMaxRunning);
    ~THostLookupQueue();

    THostLookupQueue(const THostLookupQueue&) = delete;
    THostLookupQueue& operator=(const THostLookupQueue&) = delete;

    // Lookups running now, with a thread each (those nobody waits for any longer included), and
    // those waiting for their turn.
    std::size_t Running() const;
    std::size_t Waiting() const;

    // One lookup's work; it runs on a lookup thread and must not throw.
    using TJob = std::function<void()>;
    enum class TTurn : std::uint8_t {
        Running, // started at once
        Waiting, // starts once a running one has ended
        Refused, // no thread could be had: it never runs
    };
    // What a job waits in, for Withdraw.
    struct TTicket;
    struct TSubmitted {
        std::shared_ptr<TTicket> Ticket;
        TTurn Turn;
    };
    TSubmitted Submit(TJob job);
    // Takes a job that has not started out of the queue, so that it never runs; false when it
    // has started already.
    bool Withdraw(const std::shared_ptr<TTicket>& ticket);

private:
    struct TShared;
    // A lookup thread: runs its first job, then every job that waits, and ends when none does.
    static void Work(const std::shared_ptr<TShared>& shared, std::shared_ptr<TTicket> ticket);

    std::shared_ptr<TShared> Shared;
};

} // namespace quillet
