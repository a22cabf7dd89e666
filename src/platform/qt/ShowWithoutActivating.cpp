#include "platform/qt/ShowWithoutActivating.h"

#include <QWidget>

namespace quillet {

void ShowWithoutActivating(QWidget& window)
{
    if (window.isVisible() && window.isMinimized())
        return;
    // A hidden window keeps the state it was hidden in; it appears restored, as a new window.
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    // The attribute is read when the window is mapped; later shows may activate as usual.
    window.setAttribute(Qt::WA_ShowWithoutActivating, true);
    window.show();
    window.raise();
    window.setAttribute(Qt::WA_ShowWithoutActivating, false);
}

} // namespace quillet
