#include "platform/qt/ShowWithoutActivating.h"

#include <QWidget>

namespace quillet {

void ShowWithoutActivating(QWidget& window)
{
    // The attribute is read when the window is mapped; later shows may activate as usual.
    window.setAttribute(Qt::WA_ShowWithoutActivating, true);
    if (window.isMinimized())
        window.showNormal();
    window.show();
    window.raise();
    window.setAttribute(Qt::WA_ShowWithoutActivating, false);
}

} // namespace quillet
