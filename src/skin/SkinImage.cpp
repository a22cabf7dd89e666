#include "skin/SkinImage.h"

#include <QBrush>
#include <QPainter>

#include <algorithm>

namespace quillet::skin {
namespace {

// A rectangle from its left, top, right and bottom edges, right and bottom exclusive.
QRect Edges(int left, int top, int right, int bottom)
{
    return { left, top, right - left, bottom - top };
}

} // namespace

// The pieces are copied by hand rather than with qDrawBorderPixmap: its tile rule repeats the
// bands as well as the centre, it keeps the corners of a target narrower than them (they then
// overlap), and it needs a QPixmap (a GUI application, and a conversion on every call), while
// this works on plain images anywhere. QPainter's unsmoothed drawImage is the nearest-neighbour
// stretch.
QImage ComposeSkinImage(QSize destination, const QImage& image, QMargins margins,
    bool verticalFrames, bool tile, int frameCount, int frameNumber)
{
    const int w = destination.width();
    const int h = destination.height();
    if (w <= 0 || h <= 0 || image.isNull())
        return {};
    const int count = std::max(1, frameCount);
    const int number = std::clamp(frameNumber, 1, count);
    const int frameWidth = verticalFrames ? image.width() : image.width() / count;
    const int frameHeight = verticalFrames ? image.height() / count : image.height();
    if (frameWidth <= 0 || frameHeight <= 0)
        return {};
    const QPoint origin = verticalFrames ? QPoint(0, (number - 1) * frameHeight)
                                         : QPoint((number - 1) * frameWidth, 0);

    // Bands wider than the frame together would copy pixels of the neighbouring frame or from
    // outside the bitmap: such a frame has no usable bands and is stretched whole.
    int l = std::max(0, margins.left());
    int r = std::max(0, margins.right());
    int t = std::max(0, margins.top());
    int b = std::max(0, margins.bottom());
    if (l + r > frameWidth)
        l = r = 0;
    if (t + b > frameHeight)
        t = b = 0;
    if (w < l + r)
        l = r = 0;
    if (h < t + b)
        t = b = 0;

    const QImage source = image.format() == QImage::Format_RGB32
        ? image
        : image.convertToFormat(QImage::Format_RGB32);
    QImage picture(w, h, QImage::Format_RGB32);
    picture.fill(TransparentColour);
    QPainter painter(&picture);
    // A straight copy: no blending with what is below, no smoothing when stretching.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const auto copy = [&](const QRect& target, const QRect& from) {
        if (!target.isEmpty() && !from.isEmpty())
            painter.drawImage(target, source, from.translated(origin));
    };
    const int fw = frameWidth;
    const int fh = frameHeight;

    if (l * t > 0)
        copy(Edges(0, 0, l, t), Edges(0, 0, l, t));
    if (l * b > 0)
        copy(Edges(0, h - b, l, h), Edges(0, fh - b, l, fh));
    if (r * t > 0)
        copy(Edges(w - r, 0, w, t), Edges(fw - r, 0, fw, t));
    if (l > 0)
        copy(Edges(0, t, l, h - b), Edges(0, t, l, fh - b));
    if (t > 0)
        copy(Edges(l, 0, w - r, t), Edges(l, 0, fw - r, t));
    const QRect centre = Edges(l, t, w - r, h - b);
    const QRect centreSource = Edges(l, t, fw - r, fh - b);
    if (tile)
        TileRectangle(painter, centre, source, centreSource.translated(origin));
    else
        copy(centre, centreSource);
    if (r * b > 0)
        copy(Edges(w - r, h - b, w, h), Edges(fw - r, fh - b, fw, fh));
    if (r > 0)
        copy(Edges(w - r, t, w, h - b), Edges(fw - r, t, fw, fh - b));
    if (b > 0)
        copy(Edges(l, h - b, w - r, h), Edges(l, fh - b, fw - r, fh));
    return picture;
}

void DrawSkinImage(QPainter& target, const QRect& destination, const QImage& image,
    QMargins margins, bool verticalFrames, bool tile, bool transparent, int frameCount,
    int frameNumber)
{
    if (destination.width() < 0 || destination.height() < 0)
        return;
    const QImage picture = ComposeSkinImage(
        destination.size(), image, margins, verticalFrames, tile, frameCount, frameNumber);
    if (picture.isNull())
        return;
    target.drawImage(destination.topLeft(), transparent ? WithTransparency(picture) : picture);
}

void TileRectangle(
    QPainter& canvas, const QRect& destination, const QImage& image, const QRect& source)
{
    const int tileWidth = source.width();
    const int tileHeight = source.height();
    if (tileWidth <= 0 || tileHeight <= 0 || destination.width() <= 0 || destination.height() <= 0)
        return;
    // Whole tiles from the destination's top-left corner: as many columns and rows as it takes
    // to reach its right and bottom edges, the last ones reaching past them. One texture fill
    // gives the same pixels as copying tile by tile, without a call per tile.
    const int columns = (destination.width() + tileWidth - 1) / tileWidth;
    const int rows = (destination.height() + tileHeight - 1) / tileHeight;
    const QRect covered(destination.topLeft(), QSize(columns * tileWidth, rows * tileHeight));
    canvas.save();
    canvas.setBrushOrigin(destination.topLeft());
    canvas.fillRect(covered, QBrush(image.copy(source)));
    canvas.restore();
}

QImage WithTransparency(const QImage& picture)
{
    QImage result = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            if ((line[x] & 0x00FFFFFF) == (TransparentColour & 0x00FFFFFF))
                line[x] = 0;
        }
    }
    return result;
}

} // namespace quillet::skin
