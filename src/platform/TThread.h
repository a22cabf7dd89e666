#pragma once

#include "platform/MainThreadDispatcher.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace quillet {

// A thread with a body to override, in the manner of the program's two worker kinds.
//
// Life: construct, set the options, Start. When ThreadMain returns (or throws), the termination
// callback runs on the main thread while the thread waits for it. An exception that escapes
// ThreadMain is never swallowed: it is written to standard error and handed to the error callback
// on the main thread. A free-on-terminate thread is
// then joined and deleted on the main thread; any other thread is joined by WaitFor or by its
// destructor. Every started thread is counted in LiveCount until it has been joined, so that the
// program's exit can wait for all of them.
class TThread {
public:
    explicit TThread(IMainThreadDispatcher& dispatcher);
    virtual ~TThread();

    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Start();

    // Only before Start: the object is deleted on the main thread after its termination callback.
    void SetFreeOnTerminate(bool value) { FreeOnTerminate = value; }
    // Only before Start.
    void SetOnTerminate(std::function<void(TThread&)> callback)
    {
        OnTerminate = std::move(callback);
    }
    // Only before Start, instead of free-on-terminate: runs on the main thread once the thread
    // has been joined, after the termination callback. It may delete the object, which then
    // outlives its thread for as long as the callback decides.
    void SetOnJoined(std::function<void(TThread&)> callback) { OnJoined = std::move(callback); }
    // Only before Start: runs on the main thread with an exception that escaped ThreadMain,
    // before the termination callback.
    void SetOnError(std::function<void(const std::exception_ptr&)> callback)
    {
        OnError = std::move(callback);
    }

    void Terminate() { TerminateRequested.store(true); }
    bool Terminated() const { return TerminateRequested.load(); }
    bool Finished() const { return HasFinished.load(); }

    // Joins a thread that does not free itself. Not to be called from the thread itself.
    void WaitFor();

    // Threads started and not yet joined, process-wide.
    static int LiveCount();

    IMainThreadDispatcher& Dispatcher() const { return MainDispatcher; }

protected:
    virtual void ThreadMain() = 0;
    void RunOnMainThread(const std::function<void()>& fn) { MainDispatcher.RunOnMainThread(fn); }

private:
    void Run();
    void ReportEscaped(const std::exception_ptr& error);

    IMainThreadDispatcher& MainDispatcher;
    std::mutex StartLock;
    std::thread Worker;
    std::function<void(TThread&)> OnTerminate;
    std::function<void(const std::exception_ptr&)> OnError;
    std::function<void(TThread&)> OnJoined;
    bool FreeOnTerminate = false;
    std::atomic<bool> TerminateRequested { false };
    std::atomic<bool> HasFinished { false };

    static std::atomic<int> Live;
};

} // namespace quillet
