#pragma once

#include "skin/SkinParts.h"
#include "skin/TSkin.h"

#include <QHash>
#include <QPixmap>
#include <QPixmapCache>

#include <cstdint>
#include <memory>

class QPainter;
class QRect;

namespace quillet::skin {

// Draws the parts of one skin. A part's picture for a given frame and size is composed once
// and then taken from Qt's pixmap cache, so repainting a control costs one pixmap copy. The
// cache entries belong to this painter and go with it.
//
// Main thread only, as all painting.
class TSkinPainter {
public:
    explicit TSkinPainter(std::shared_ptr<const TSkin> skin);
    ~TSkinPainter();
    TSkinPainter(const TSkinPainter&) = delete;
    TSkinPainter& operator=(const TSkinPainter&) = delete;

    const TSkin& Skin() const { return *SkinData; }
    const TSkinPart& Part(TSkinPartKind kind) const { return SkinData->Part(kind); }
    bool Skinned(TSkinPartKind kind) const { return Part(kind).Skinned(); }

    // Draws `frame` of the part fitted into `rect`. False, drawing nothing, when the part is not
    // skinned or the rectangle is too large to compose; the caller then draws it natively.
    bool Paint(QPainter& painter, TSkinPartKind kind, const QRect& rect, int frame) const;

    // The picture Paint draws, with transparent pixels made transparent. Null when Paint would
    // draw nothing.
    QPixmap Picture(TSkinPartKind kind, QSize size, int frame) const;

    // How many pictures were composed so far (the rest came from the cache).
    int ComposedCount() const { return Composed; }

    // Pictures larger than this on either side are not composed.
    static constexpr int MaxSide = 8192;

private:
    std::shared_ptr<const TSkin> SkinData;
    mutable QHash<std::uint64_t, QPixmapCache::Key> Index;
    mutable int Composed = 0;
};

} // namespace quillet::skin
