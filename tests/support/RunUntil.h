#pragma once

#include <chrono>
#include <functional>

namespace quillet::testing {

// Runs the Qt event loop the way the program does, handling every event as it comes (a
// conversation thread's call on the main thread wakes it), until `done` holds or `timeout` has
// passed; returns whether it holds. QTest::qWaitFor sleeps 10 ms between rounds, so a stream
// would move at the test's pace rather than the program's. A timer every `wake` bounds each
// sleep so that `done` and the deadline are looked at while no event comes.
bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
    std::chrono::milliseconds wake = std::chrono::milliseconds(10));

// Runs the event loop as the program's own loop runs it, for `duration`.
void RunFor(std::chrono::milliseconds duration);

} // namespace quillet::testing
