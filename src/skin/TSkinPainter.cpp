#include "skin/TSkinPainter.h"

#include "skin/SkinImage.h"

#include <QPainter>
#include <QRect>

namespace quillet::skin {
namespace {

// The index forgets everything beyond this many pictures (window sizes come and go).
constexpr qsizetype MaxIndexed = 4096;

// Part, frame and size packed into one key: 8 + 8 + 24 + 24 bits.
std::uint64_t IndexKey(TSkinPartKind kind, int frame, QSize size)
{
    return (std::uint64_t(static_cast<std::size_t>(kind)) << 56)
        | (std::uint64_t(frame & 0xFF) << 48) | (std::uint64_t(size.width() & 0xFFFFFF) << 24)
        | std::uint64_t(size.height() & 0xFFFFFF);
}

} // namespace

TSkinPainter::TSkinPainter(std::shared_ptr<const TSkin> skin)
    : SkinData(std::move(skin))
{
}

TSkinPainter::~TSkinPainter()
{
    for (const QPixmapCache::Key& key : std::as_const(Index))
        QPixmapCache::remove(key);
}

QPixmap TSkinPainter::Picture(TSkinPartKind kind, QSize size, int frame) const
{
    const TSkinPart& part = Part(kind);
    if (!part.Skinned() || size.isEmpty() || size.width() > MaxSide || size.height() > MaxSide)
        return {};
    const std::uint64_t key = IndexKey(kind, frame, size);
    QPixmap pixmap;
    if (const auto found = Index.constFind(key);
        found != Index.constEnd() && QPixmapCache::find(*found, &pixmap))
        return pixmap;

    const QImage picture = ComposeSkinImage(
        size, part.Image, part.Margins, false, part.Tile, part.FrameCount, frame);
    ++Composed;
    if (picture.isNull())
        return {};
    pixmap = QPixmap::fromImage(part.Trans ? WithTransparency(picture) : picture);
    if (Index.size() >= MaxIndexed) {
        for (const QPixmapCache::Key& old : std::as_const(Index))
            QPixmapCache::remove(old);
        Index.clear();
    }
    Index.insert(key, QPixmapCache::insert(pixmap));
    return pixmap;
}

bool TSkinPainter::Paint(QPainter& painter, TSkinPartKind kind, const QRect& rect, int frame) const
{
    const QPixmap pixmap = Picture(kind, rect.size(), frame);
    if (pixmap.isNull())
        return false;
    painter.drawPixmap(rect.topLeft(), pixmap);
    return true;
}

} // namespace quillet::skin
