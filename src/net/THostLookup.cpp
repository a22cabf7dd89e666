#include "net/THostLookup.h"

#include "net/SocketErrors.h"

#include <condition_variable>
#include <mutex>
#include <utility>

namespace quillet {

struct THostLookup::TState {
    std::mutex Lock;
    std::condition_variable Changed;
    bool Ended = false; // guarded by Lock
    bool Abandoned = false; // guarded by Lock
    int Code = 0; // guarded by Lock
    TSocketEndpoint Target; // guarded by Lock
};

THostLookup::THostLookup(THostLookupQueue& queue, THostLookupFunction lookup, std::string address,
    std::string port, std::vector<int> families, int socketType, int protocol)
    : Queue(queue)
    , State(std::make_shared<TState>())
{
    auto job = [state = State, lookup = std::move(lookup), address = std::move(address),
                   port = std::move(port), families = std::move(families), socketType, protocol] {
        {
            // Abandoned before its turn came, but taken before it could be withdrawn.
            const std::lock_guard guard(state->Lock);
            if (state->Abandoned)
                return;
        }
        int code = 0;
        TSocketEndpoint target;
        for (const int family : families) {
            code = lookup(address, port, family, socketType, protocol, target);
            if (code == 0)
                break;
        }
        {
            const std::lock_guard guard(state->Lock);
            state->Ended = true;
            state->Code = code;
            state->Target = target;
        }
        state->Changed.notify_all();
    };
    THostLookupQueue::TSubmitted submitted = Queue.Submit(std::move(job));
    Ticket = std::move(submitted.Ticket);
    Turn = submitted.Turn;
    if (Turn == THostLookupQueue::TTurn::Refused) {
        // No thread to be had: the lookup fails like a resolver out of memory.
        const std::lock_guard guard(State->Lock);
        State->Ended = true;
        State->Code = sockerr::NoBufferSpace;
    }
}

THostLookup::~THostLookup()
{
    Abandon();
}

THostLookup::TOutcome THostLookup::Wait(
    std::optional<std::chrono::steady_clock::time_point> deadline)
{
    std::unique_lock lock(State->Lock);
    const auto settled = [this] { return State->Ended || State->Abandoned; };
    if (deadline) {
        if (!State->Changed.wait_until(lock, *deadline, settled))
            return TOutcome::TimedOut;
    } else {
        State->Changed.wait(lock, settled);
    }
    // Abandoned wins over a result that came at the same moment: the caller was told to stop.
    return State->Abandoned ? TOutcome::Abandoned : TOutcome::Ended;
}

void THostLookup::Abandon()
{
    {
        const std::lock_guard guard(State->Lock);
        State->Abandoned = true;
    }
    State->Changed.notify_all();
    if (Ticket)
        Queue.Withdraw(Ticket);
}

int THostLookup::Code() const
{
    const std::lock_guard guard(State->Lock);
    return State->Code;
}

TSocketEndpoint THostLookup::Target() const
{
    const std::lock_guard guard(State->Lock);
    return State->Target;
}

} // namespace quillet
