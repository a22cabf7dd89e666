#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace quillet {

// Turns SIGTERM and SIGINT into a call on the main thread, so that a session that ends the
// program by signal, or Ctrl+C in a terminal, takes the same orderly way out as the Exit item.
// One instance at a time; the previous handlers come back when it is destroyed.
//
// The main thread learns of the signal only once it gets back to its event loop, behind whatever
// is queued there; Requested tells at once.
class TTerminationSignal {
public:
    explicit TTerminationSignal(std::function<void()> onSignal);
    ~TTerminationSignal();

    TTerminationSignal(const TTerminationSignal&) = delete;
    TTerminationSignal& operator=(const TTerminationSignal&) = delete;

    // True from the moment a signal arrived, before the main thread has got to it: work queued
    // ahead of it (a question about an ending conversation, say) can step aside at once.
    bool Requested() const;

private:
    std::function<void()> OnSignal;
    std::unique_ptr<QSocketNotifier> Notifier;
};

} // namespace quillet
