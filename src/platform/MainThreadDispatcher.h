#pragma once

#include <functional>

namespace quillet {

// The way worker threads reach the main thread, which owns every window.
class IMainThreadDispatcher {
public:
    virtual ~IMainThreadDispatcher() = default;

    // Runs `fn` on the main thread and returns when it has finished. Called on the main thread
    // it runs `fn` directly. The caller must hold no lock the main thread could need.
    virtual void RunOnMainThread(const std::function<void()>& fn) = 0;

    // Queues `fn` to run on the main thread later and returns at once.
    virtual void Post(std::function<void()> fn) = 0;

    virtual bool IsMainThread() const = 0;
};

} // namespace quillet
