#include "chatui/WindowAttention.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>
// Qt offers no public way to withdraw an attention request before its time is up (it ends it only
// on activation or at the end of its duration); the platform window, which holds the request,
// does.
#include <qpa/qplatformwindow.h>

namespace quillet {

void RequestWindowAttention(QWidget* window, int durationMs)
{
    QApplication::alert(window, durationMs);
}

void StopWindowAttention(QWidget* window)
{
    const QWidget* topLevel = window != nullptr ? window->window() : nullptr;
    const QWindow* handle = topLevel != nullptr ? topLevel->windowHandle() : nullptr;
    QPlatformWindow* platformWindow = handle != nullptr ? handle->handle() : nullptr;
    if (platformWindow != nullptr && platformWindow->isAlertState())
        platformWindow->setAlertState(false);
}

} // namespace quillet
