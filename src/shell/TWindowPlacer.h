#pragma once

#include <QSize>

#include <functional>

class QWidget;

namespace quillet {

// Places a window by its frame as it appears, and once more when the window system has framed
// it. The frame's size is not known before a window's first showing: the first placement takes
// the frame as it is then (often none), and when the frame turns out different, the placement
// runs again with the real one.
//
// The window calls BeforeShow just before it becomes visible, AfterShowOrMove right after and on
// each of its move events, and Hidden when it is hidden.
class TWindowPlacer {
public:
    explicit TWindowPlacer(std::function<void()> place);

    void BeforeShow(const QWidget& window);
    void AfterShowOrMove(const QWidget& window);
    void Hidden();

private:
    std::function<void()> Place;
    QSize AssumedFrame;
    bool Pending = false;
};

// How much the frame adds to the client area's width and height, as far as known.
QSize FrameExtra(const QWidget& window);

} // namespace quillet
