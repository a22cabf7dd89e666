#include "platform/TThread.h"

#include "platform/ExceptionText.h"

#include <cstdio>
#include <stdexcept>

namespace quillet {

std::atomic<int> TThread::Live { 0 };

TThread::TThread(IMainThreadDispatcher& dispatcher)
    : MainDispatcher(dispatcher)
{
}

TThread::~TThread()
{
    if (Worker.joinable() && Worker.get_id() != std::this_thread::get_id()) {
        Worker.join();
        Live.fetch_sub(1);
    }
}

void TThread::Start()
{
    Live.fetch_add(1);
    // The new thread may finish and be joined by the main thread before the std::thread has
    // been moved into Worker; Run waits for StartLock so Worker is set before anything reads it.
    const std::lock_guard<std::mutex> guard(StartLock);
    Worker = std::thread([this] { Run(); });
}

void TThread::Run()
{
    {
        const std::lock_guard<std::mutex> guard(StartLock);
    }
    try {
        ThreadMain();
    } catch (...) {
        // The termination steps below still run.
        ReportEscaped(std::current_exception());
    }
    HasFinished.store(true);
    if (OnTerminate) {
        try {
            RunOnMainThread([this] { OnTerminate(*this); });
        } catch (...) {
        }
    }
    if (FreeOnTerminate || OnJoined) {
        // The std::thread can only be joined from another thread, so the main thread joins it
        // (this thread is at its very end by then) and frees the object or hands it on.
        MainDispatcher.Post([this] {
            Worker.join();
            Live.fetch_sub(1);
            if (!OnJoined) {
                delete this;
                return;
            }
            // The callback may delete the object, and the member with it.
            const std::function<void(TThread&)> joined = std::move(OnJoined);
            joined(*this);
        });
    }
}

void TThread::ReportEscaped(const std::exception_ptr& error)
{
    const std::string message = ExceptionText(error);
    std::fprintf(stderr, "quillet: a worker thread ended by an error: %s\n", message.c_str());
    if (!OnError)
        return;
    try {
        RunOnMainThread([this, &error] { OnError(error); });
    } catch (...) {
        // Reporting is the last resort; a report that fails must not end the program.
    }
}

void TThread::WaitFor()
{
    if (Worker.joinable() && Worker.get_id() != std::this_thread::get_id()) {
        Worker.join();
        Live.fetch_sub(1);
    }
}

int TThread::LiveCount()
{
    return Live.load();
}

} // namespace quillet
