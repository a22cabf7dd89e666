#include "shell/Shutdown.h"

#include "platform/TThread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace quillet {

void TShutdownSteps::Run()
{
    for (const auto& step : Steps) {
        try {
            step();
        } catch (...) {
            // The program is ending; the remaining steps still have to run.
        }
    }
}

bool WaitForWorkerThreads(std::chrono::milliseconds limit)
{
    QElapsedTimer elapsed;
    elapsed.start();
    // The timer wakes the wait below when no event comes, so the limit is kept.
    QTimer wake;
    wake.start(10);
    while (TThread::LiveCount() > 0) {
        if (elapsed.elapsed() >= limit.count())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

} // namespace quillet
