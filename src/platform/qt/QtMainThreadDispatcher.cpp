#include "platform/qt/QtMainThreadDispatcher.h"

#include <QThread>

namespace quillet {

TQtMainThreadDispatcher::TQtMainThreadDispatcher() = default;

bool TQtMainThreadDispatcher::IsMainThread() const
{
    return QThread::currentThread() == thread();
}

void TQtMainThreadDispatcher::RunOnMainThread(const std::function<void()>& fn)
{
    if (IsMainThread()) {
        fn();
        return;
    }
    // The blocking call returns once the event that carries fn has been handled, also when fn
    // throws and the exception is reported by the application's notify.
    QMetaObject::invokeMethod(
        this, [&fn] { fn(); }, Qt::BlockingQueuedConnection);
}

void TQtMainThreadDispatcher::Post(std::function<void()> fn)
{
    QMetaObject::invokeMethod(
        this, [fn = std::move(fn)] { fn(); }, Qt::QueuedConnection);
}

} // namespace quillet
