#pragma once

#include <QImage>
#include <QMargins>
#include <QRect>
#include <QSize>

class QPainter;

namespace quillet::skin {

// The colour that skin bitmaps use for "no pixel here" when a part is drawn transparent.
constexpr QRgb TransparentColour = 0xFFFF00FF;

// Nine-piece drawing of one state frame of a skin bitmap.
//
// A bitmap holds `frameCount` frames of equal size, side by side from left to right, or stacked
// from top to bottom with `verticalFrames`; frame numbers start at 1. A count below 1 counts as
// 1, and a frame number outside 1..count is taken as the nearest frame. `margins` are the widths
// of the left and right bands and the heights of the top and bottom bands of one frame.
//
// The frame is cut into a 3 x 3 grid around the margins. Corners keep their size, the left and
// right bands stretch vertically, the top and bottom bands horizontally, and the centre in both
// directions, or is repeated when `tile` is set. A target narrower than the left and right
// margins together is drawn without them (the frame stretched whole across the width); the same
// holds for the height, and for margins wider than the frame itself. Stretching keeps whole source
// pixels (nearest neighbour): no colour is ever blended.

// The fitted picture at `destination`'s size, in Format_RGB32. Pieces are copied in this order:
// top-left, bottom-left and top-right corners, left band, top band, centre, bottom-right corner,
// right band, bottom band; the overhang of the last row and column of centre tiles lies where the
// later pieces go. A null image when the size or the frame is empty.
QImage ComposeSkinImage(QSize destination, const QImage& image, QMargins margins,
    bool verticalFrames, bool tile, int frameCount, int frameNumber);

// Composes the picture for `destination` and copies it to `target` at the destination's
// top-left corner. With `transparent`, pixels of TransparentColour are left out and the target
// keeps what it had there. A destination with negative width or height (its right edge left of
// its left edge, or its bottom above its top) draws nothing.
void DrawSkinImage(QPainter& target, const QRect& destination, const QImage& image,
    QMargins margins, bool verticalFrames, bool tile, bool transparent, int frameCount,
    int frameNumber);

// Repeats `source` (a rectangle of `image`) over `destination`, starting at its top-left corner,
// one whole copy per step. The last column and row are not cut at the destination's right and
// bottom edges; only the canvas clips them. Draws nothing for a source with no pixels.
void TileRectangle(
    QPainter& canvas, const QRect& destination, const QImage& image, const QRect& source);

// `picture` with every pixel of TransparentColour made fully transparent, in
// Format_ARGB32_Premultiplied; drawing it leaves those pixels of the target untouched.
QImage WithTransparency(const QImage& picture);

} // namespace quillet::skin
