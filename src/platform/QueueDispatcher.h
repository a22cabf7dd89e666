#pragma once

#include "platform/MainThreadDispatcher.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace quillet {

// A main-thread dispatcher without a toolkit: the thread that constructs it is the main thread,
// and work sent to it runs when that thread calls ProcessFor or ProcessUntil. Used by programs
// and tests that have no Qt event loop.
class TQueueDispatcher final : public IMainThreadDispatcher {
public:
    TQueueDispatcher();

    void RunOnMainThread(const std::function<void()>& fn) override;
    void Post(std::function<void()> fn) override;
    bool IsMainThread() const override;

    // Runs queued work for the given time (main thread only).
    void ProcessFor(std::chrono::milliseconds duration);

    // Runs queued work until `done` returns true or the time runs out; returns `done()`.
    bool ProcessUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

private:
    void RunQueued(std::unique_lock<std::mutex>& lock);

    std::thread::id MainId;
    std::mutex Lock;
    std::condition_variable Wake;
    std::deque<std::function<void()>> Queue;
};

} // namespace quillet
