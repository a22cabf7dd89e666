#include "shell/TWindowPlacer.h"

#include <QWidget>

namespace quillet {

QSize FrameExtra(const QWidget& window)
{
    return window.frameGeometry().size() - window.geometry().size();
}

TWindowPlacer::TWindowPlacer(std::function<void()> place)
    : Place(std::move(place))
{
}

void TWindowPlacer::BeforeShow(const QWidget& window)
{
    Place();
    AssumedFrame = FrameExtra(window);
    Pending = true;
}

void TWindowPlacer::AfterShowOrMove(const QWidget& window)
{
    if (!Pending || !window.isVisible() || FrameExtra(window) == AssumedFrame)
        return;
    // Cleared first: the placement moves the window, which comes back here.
    Pending = false;
    Place();
}

void TWindowPlacer::Hidden()
{
    Pending = false;
}

} // namespace quillet
