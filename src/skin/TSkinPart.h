#pragma once

#include <QColor>
#include <QImage>
#include <QMargins>
#include <QSize>

namespace quillet::skin {

// One part of a skin as its description section gives it, read once when the skin is loaded.
// A part without an image is not skinned: the engine draws it natively.
struct TSkinPart {
    // Format_RGB32; frames side by side.
    QImage Image;
    // The left, top, right and bottom bands of one frame ("LeftWidth", "TopHeight",
    // "RightWidth", "BottomHeight").
    QMargins Margins;
    // "Frame": at least 1.
    int FrameCount = 1;
    // "Trans": pixels of the transparent colour are not drawn.
    bool Trans = false;
    // "Tile": the centre is repeated instead of stretched.
    bool Tile = false;
    // "Style": kept as the description gives it.
    int Style = 0;
    // Text colours by state ("NormalColour", "MouseOverColour", "PressedColour" and the three
    // with "2"); invalid when the description gives none.
    QColor NormalColour;
    QColor MouseOverColour;
    QColor PressedColour;
    QColor NormalColour2;
    QColor MouseOverColour2;
    QColor PressedColour2;

    bool Skinned() const { return !Image.isNull() && !FrameSize().isEmpty(); }
    QSize FrameSize() const
    {
        const int count = FrameCount < 1 ? 1 : FrameCount;
        return { Image.width() / count, Image.height() };
    }
};

} // namespace quillet::skin
