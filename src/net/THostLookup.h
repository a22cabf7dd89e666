#pragma once

#include "net/THostLookupQueue.h"
#include "net/TSocketEndpoint.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillet {

// Turns an address text and a port text into an endpoint of `family` for a socket of
// `socketType` and `protocol`: 0 and the endpoint, or a socket error code.
// TSocketEndpoint::Resolve (the system resolver) is the program's; tests put a name service of
// their own in its place.
using THostLookupFunction = std::function<int(const std::string& address, const std::string& port,
    int family, int socketType, int protocol, TSocketEndpoint& target)>;

// One host-name lookup that its caller can stop waiting for.
//
// The system resolver cannot be interrupted: a name service that does not answer holds the call
// for as long as the resolver's own time-outs last. So the lookup runs on a thread of the queue's
// (THostLookupQueue, which also caps how many run at once), and the caller waits for it (Wait)
// until it ends, until the deadline, or until another thread abandons it (Abandon). A lookup
// that nobody waits for any longer runs to its end by itself and its result is dropped, or never
// runs if it had not started: the lookup thread shares nothing with the caller but the state
// below, which the last of the two lets go of.
class THostLookup {
public:
    enum class TOutcome { Ended, Abandoned, TimedOut };

    // Asks `queue` to run the lookup. `families` are tried in order until one resolves; the code
    // of the last one tried is the result. `lookup` runs on a lookup thread and must stay
    // callable until it returns, also when the lookup has been abandoned. The queue must outlive
    // this object.
    THostLookup(THostLookupQueue& queue, THostLookupFunction lookup, std::string address,
        std::string port, std::vector<int> families, int socketType, int protocol);
    // Abandons the lookup if it is still running or waiting.
    ~THostLookup();

    THostLookup(const THostLookup&) = delete;
    THostLookup& operator=(const THostLookup&) = delete;

    // The lookup waits for its turn behind others that run.
    bool WaitsForTurn() const { return Turn == THostLookupQueue::TTurn::Waiting; }

    // Waits until the lookup has ended, it is abandoned or `deadline` has passed (no deadline:
    // no limit).
    TOutcome Wait(std::optional<std::chrono::steady_clock::time_point> deadline);
    // Any thread: a Wait in progress (or the next one) returns Abandoned at once, and a lookup
    // still waiting for its turn never runs.
    void Abandon();

    // After Wait returned Ended: the resolver's code (0 when found) and the endpoint.
    int Code() const;
    TSocketEndpoint Target() const;

private:
    struct TState;

    THostLookupQueue& Queue;
    std::shared_ptr<TState> State;
    std::shared_ptr<THostLookupQueue::TTicket> Ticket;
    THostLookupQueue::TTurn Turn = THostLookupQueue::TTurn::Refused;
};

} // namespace quillet
