#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QSize>

#include <functional>
#include <vector>

class QPainter;

namespace quillet::skin::art {

// Drawing helpers for the skin's bitmaps. Shapes are drawn antialiased on a transparent canvas
// and then flattened into the opaque pixels a skin bitmap holds: a pixel covered less than half
// becomes the transparent colour (magenta), the others are laid over `behind`, the colour the
// part will mostly stand on, so their soft edges blend the right way.

// A frame of `size` drawn by `draw` on a transparent canvas, flattened as described above.
QImage DrawFrame(QSize size, const QColor& behind, const std::function<void(QPainter&)>& draw);

// The frames side by side in one strip, in order.
QImage Strip(const std::vector<QImage>& frames);

// A rectangle with rounded corners whose outline falls on pixel centres when stroked 1 wide.
QPainterPath RoundedBox(const QRectF& pixels, qreal radius);

// Fills `path` with a vertical gradient from `top` to `bottom` and strokes it in `line`.
void FillAndStroke(QPainter& painter, const QPainterPath& path, const QColor& top,
    const QColor& bottom, const QColor& line, const QRectF& extent);

} // namespace quillet::skin::art
