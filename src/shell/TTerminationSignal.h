#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace quillet {

// Turns SIGTERM and SIGINT into a call on the main thread, so that a session that ends the
// program by signal, or Ctrl+C in a terminal, takes the same orderly way out as the Exit item.
// One instance at a time; the previous handlers come back when it is destroyed.
class TTerminationSignal {
public:
    explicit TTerminationSignal(std::function<void()> onSignal);
    ~TTerminationSignal();

    TTerminationSignal(const TTerminationSignal&) = delete;
    TTerminationSignal& operator=(const TTerminationSignal&) = delete;

private:
    std::function<void()> OnSignal;
    std::unique_ptr<QSocketNotifier> Notifier;
};

} // namespace quillet
