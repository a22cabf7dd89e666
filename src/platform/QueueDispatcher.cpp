#include "platform/QueueDispatcher.h"

#include <memory>

namespace quillet {

TQueueDispatcher::TQueueDispatcher()
    : MainId(std::this_thread::get_id())
{
}

bool TQueueDispatcher::IsMainThread() const
{
    return std::this_thread::get_id() == MainId;
}

void TQueueDispatcher::Post(std::function<void()> fn)
{
    {
        const std::lock_guard<std::mutex> guard(Lock);
        Queue.push_back(std::move(fn));
    }
    Wake.notify_all();
}

void TQueueDispatcher::RunOnMainThread(const std::function<void()>& fn)
{
    if (IsMainThread()) {
        fn();
        return;
    }
    struct TDone {
        std::mutex Lock;
        std::condition_variable Cv;
        bool Finished = false;
    };
    auto done = std::make_shared<TDone>();
    Post([&fn, done] {
        // Mark finished even when fn throws, so the waiting thread never hangs.
        struct TSignal {
            TDone& D;
            ~TSignal()
            {
                {
                    const std::lock_guard<std::mutex> g(D.Lock);
                    D.Finished = true;
                }
                D.Cv.notify_all();
            }
        } signal { *done };
        fn();
    });
    std::unique_lock<std::mutex> lock(done->Lock);
    done->Cv.wait(lock, [&] { return done->Finished; });
}

void TQueueDispatcher::RunQueued(std::unique_lock<std::mutex>& lock)
{
    while (!Queue.empty()) {
        auto fn = std::move(Queue.front());
        Queue.pop_front();
        lock.unlock();
        fn();
        lock.lock();
    }
}

void TQueueDispatcher::ProcessFor(std::chrono::milliseconds duration)
{
    ProcessUntil([] { return false; }, duration);
}

bool TQueueDispatcher::ProcessUntil(
    const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock<std::mutex> lock(Lock);
    for (;;) {
        RunQueued(lock);
        lock.unlock();
        const bool finished = done();
        lock.lock();
        if (finished)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        Wake.wait_until(lock,
            std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(10)),
            [&] { return !Queue.empty(); });
    }
}

} // namespace quillet
