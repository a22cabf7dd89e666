#pragma once

#include <chrono>

namespace quillet {

// Keeps handling events until every worker thread has been joined (TThread::LiveCount() is 0)
// or `limit` has passed. Events must flow meanwhile: a thread that frees itself is joined by a
// call it posts to the main thread. True when no thread is left.
bool WaitForWorkerThreads(std::chrono::milliseconds limit);

} // namespace quillet
