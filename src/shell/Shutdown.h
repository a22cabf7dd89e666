#pragma once

#include <chrono>
#include <functional>
#include <vector>

namespace quillet {

// The program's exit steps, run in order after the event loop has ended and before the windows
// are destroyed (stop the listener, close the conversations). A step that throws does not stop
// the later ones.
class TShutdownSteps {
public:
    void Add(std::function<void()> step) { Steps.push_back(std::move(step)); }
    void Run();

private:
    std::vector<std::function<void()>> Steps;
};

// Keeps handling events until every worker thread has been joined (TThread::LiveCount() is 0)
// or `limit` has passed. Events must flow meanwhile: a thread that frees itself is joined by a
// call it posts to the main thread. True when no thread is left.
bool WaitForWorkerThreads(std::chrono::milliseconds limit);

} // namespace quillet
