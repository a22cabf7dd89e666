#include "shell/TTerminationSignal.h"

#include <QSocketNotifier>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace quillet {

namespace {

// The handler may only do async-signal-safe work: it writes one byte into a pipe, and the main
// thread's event loop reads it.
int SignalPipe[2] = { -1, -1 };
struct sigaction PreviousTerm;
struct sigaction PreviousInt;
// A lock-free atomic, so the handler may set it.
std::atomic<bool> SignalSeen { false };
static_assert(std::atomic<bool>::is_always_lock_free);

void HandleSignal(int)
{
    SignalSeen.store(true);
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(SignalPipe[1], &byte, 1);
}

} // namespace

TTerminationSignal::TTerminationSignal(std::function<void()> onSignal)
    : OnSignal(std::move(onSignal))
{
    SignalSeen.store(false);
    if (::pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    Notifier = std::make_unique<QSocketNotifier>(SignalPipe[0], QSocketNotifier::Read);
    QObject::connect(Notifier.get(), &QSocketNotifier::activated, Notifier.get(), [this] {
        char buffer[16];
        while (::read(SignalPipe[0], buffer, sizeof buffer) > 0) { }
        if (OnSignal)
            OnSignal();
    });

    struct sigaction action { };
    action.sa_handler = HandleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, &PreviousTerm);
    ::sigaction(SIGINT, &action, &PreviousInt);
}

bool TTerminationSignal::Requested() const
{
    return SignalSeen.load();
}

TTerminationSignal::~TTerminationSignal()
{
    if (!Notifier)
        return;
    ::sigaction(SIGTERM, &PreviousTerm, nullptr);
    ::sigaction(SIGINT, &PreviousInt, nullptr);
    Notifier.reset();
    ::close(SignalPipe[0]);
    ::close(SignalPipe[1]);
    SignalPipe[0] = SignalPipe[1] = -1;
}

} // namespace quillet
