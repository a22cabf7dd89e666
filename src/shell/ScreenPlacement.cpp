#include "shell/ScreenPlacement.h"

#include "shell/TWindowPlacer.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace quillet {

void CentreOnPrimaryScreen(QWidget& window)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect area = screen->geometry();
    const QSize outer = window.size() + FrameExtra(window);
    window.move(area.x() + (area.width() - outer.width()) / 2,
        area.y() + (area.height() - outer.height()) / 2);
}

void PlaceTopRight(QWidget& window, int outerWidth, int margin)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize extra = FrameExtra(window);
    window.resize(outerWidth - extra.width(), window.height());
    if (screen == nullptr)
        return;
    const QRect area = screen->geometry();
    window.move(area.x() + area.width() - outerWidth - margin, area.y() + margin);
}

} // namespace quillet
