#include "support/RunUntil.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

namespace quillet::testing {

bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
    std::chrono::milliseconds wake)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    QTimer timer;
    timer.start(static_cast<int>(wake.count()));
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        // A loop of its own does not delete deferred objects; the program's loop does.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

void RunFor(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(duration.count()), &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace quillet::testing
