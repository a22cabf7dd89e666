#include "net/THostLookupQueue.h"

#include "platform/MemoryRelease.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace quillet {

struct THostLookupQueue::TTicket {
    TJob Job;
    bool Started = false; // guarded by the queue's Lock
};

struct THostLookupQueue::TShared {
    explicit TShared(std::size_t maxRunning)
        : MaxRunning(std::max<std::size_t>(1, maxRunning))
    {
    }
    const std::size_t MaxRunning;
    mutable std::mutex Lock;
    std::deque<std::shared_ptr<TTicket>> Waiting; // guarded by Lock
    std::size_t Running = 0; // guarded by Lock
};

void THostLookupQueue::Work(const std::shared_ptr<TShared>& shared, std::shared_ptr<TTicket> ticket)
{
    bool last = false;
    while (ticket) {
        TJob job = std::move(ticket->Job);
        ticket.reset();
        job();
        // What the job holds goes before the memory is given back.
        job = nullptr;
        const std::lock_guard guard(shared->Lock);
        if (shared->Waiting.empty()) {
            last = --shared->Running == 0;
        } else {
            ticket = std::move(shared->Waiting.front());
            shared->Waiting.pop_front();
            ticket->Started = true;
        }
    }
    if (last)
        ReleaseFreeMemory();
}

THostLookupQueue::THostLookupQueue(std::size_t maxRunning)
    : Shared(std::make_shared<TShared>(maxRunning))
{
}

THostLookupQueue::~THostLookupQueue() = default;

std::size_t THostLookupQueue::Running() const
{
    const std::lock_guard guard(Shared->Lock);
    return Shared->Running;
}

std::size_t THostLookupQueue::Waiting() const
{
    const std::lock_guard guard(Shared->Lock);
    return Shared->Waiting.size();
}

THostLookupQueue::TSubmitted THostLookupQueue::Submit(TJob job)
{
    auto ticket = std::make_shared<TTicket>();
    ticket->Job = std::move(job);
    {
        const std::lock_guard guard(Shared->Lock);
        if (Shared->Running >= Shared->MaxRunning) {
            Shared->Waiting.push_back(ticket);
            return { ticket, TTurn::Waiting };
        }
        ++Shared->Running;
        ticket->Started = true;
    }
    try {
        std::thread(Work, Shared, ticket).detach();
    } catch (const std::system_error&) {
        const std::lock_guard guard(Shared->Lock);
        --Shared->Running;
        return { ticket, TTurn::Refused };
    }
    return { ticket, TTurn::Running };
}

bool THostLookupQueue::Withdraw(const std::shared_ptr<TTicket>& ticket)
{
    const std::lock_guard guard(Shared->Lock);
    if (ticket->Started)
        return false;
    const auto it = std::find(Shared->Waiting.begin(), Shared->Waiting.end(), ticket);
    if (it != Shared->Waiting.end())
        Shared->Waiting.erase(it);
    return true;
}

} // namespace quillet
