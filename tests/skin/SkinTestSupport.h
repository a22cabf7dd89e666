#pragma once

#include "skin/SkinParts.h"
#include "skin/TSkin.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>

#include <cstdint>
#include <memory>
#include <vector>

namespace quillet::skin::testing {

// The colour every pixel of frame `frame` (from 1) of a test part has: each part and frame has
// its own, so a pixel on screen tells which part was drawn in which state.
inline QRgb FrameColour(TSkinPartKind kind, int frame)
{
    const int part = static_cast<int>(kind);
    return qRgb(16 + 16 * part, 30 + 20 * frame, 200 - 10 * part);
}

// The bytes of a whole ".bmp" file of `size`, every pixel `colour`.
inline std::vector<std::uint8_t> BitmapFile(QSize size, QRgb colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return { data.begin(), data.end() };
}

// A part whose `count` frames of `size` are filled with FrameColour, with the given margins.
// With `transparentCentre` the centre of every frame is the transparent colour.
inline TSkinPart SolidPart(TSkinPartKind kind, QSize size, int count, QMargins margins = {},
    bool transparentCentre = false)
{
    TSkinPart part;
    part.Image = QImage(size.width() * count, size.height(), QImage::Format_RGB32);
    for (int f = 0; f < count; ++f) {
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const bool centre = x >= margins.left() && x < size.width() - margins.right()
                    && y >= margins.top() && y < size.height() - margins.bottom();
                part.Image.setPixel(f * size.width() + x, y,
                    transparentCentre && centre ? 0xFFFF00FF : FrameColour(kind, f + 1));
            }
        }
    }
    part.FrameCount = count;
    part.Margins = margins;
    part.Trans = transparentCentre;
    return part;
}

// A skin with every part made of solid frames, and text colours for buttons, tabs and menus.
inline std::shared_ptr<TSkin> SolidSkin()
{
    auto skin = std::make_shared<TSkin>();
    skin->Name = "Solid";
    skin->Part(TSkinPartKind::PushButton)
        = SolidPart(TSkinPartKind::PushButton, { 12, 12 }, frames::ButtonCount, { 3, 3, 3, 3 });
    skin->Part(TSkinPartKind::CheckBox)
        = SolidPart(TSkinPartKind::CheckBox, { 15, 15 }, frames::MarkCount);
    skin->Part(TSkinPartKind::RadioButton)
        = SolidPart(TSkinPartKind::RadioButton, { 14, 14 }, frames::MarkCount);
    skin->Part(TSkinPartKind::GroupBox)
        = SolidPart(TSkinPartKind::GroupBox, { 10, 10 }, 1, { 2, 2, 2, 2 }, true);
    skin->Part(TSkinPartKind::Tab)
        = SolidPart(TSkinPartKind::Tab, { 12, 12 }, frames::TabCount, { 3, 3, 3, 0 });
    skin->Part(TSkinPartKind::TabPane)
        = SolidPart(TSkinPartKind::TabPane, { 10, 10 }, 1, { 2, 2, 2, 2 });
    skin->Part(TSkinPartKind::ScrollButton)
        = SolidPart(TSkinPartKind::ScrollButton, { 16, 16 }, frames::ScrollCount);
    for (const auto kind : { TSkinPartKind::HorzScroll, TSkinPartKind::VertScroll })
        skin->Part(kind) = SolidPart(kind, { 16, 16 }, 1, { 2, 2, 2, 2 });
    for (const auto kind : { TSkinPartKind::HorzScrollThumb, TSkinPartKind::VertScrollThumb })
        skin->Part(kind) = SolidPart(kind, { 16, 16 }, frames::ScrollCount, { 3, 3, 3, 3 });
    skin->Part(TSkinPartKind::SunkEdge)
        = SolidPart(TSkinPartKind::SunkEdge, { 10, 10 }, frames::EdgeCount, { 2, 2, 2, 2 }, true);
    skin->Part(TSkinPartKind::MenuItem) = SolidPart(TSkinPartKind::MenuItem, { 10, 10 }, 1);
    skin->Part(TSkinPartKind::MenuBackground)
        = SolidPart(TSkinPartKind::MenuBackground, { 10, 10 }, 1, { 1, 1, 1, 1 });
    skin->Part(TSkinPartKind::PushButton).NormalColour = QColor(1, 2, 3);
    skin->Part(TSkinPartKind::PushButton).MouseOverColour = QColor(4, 5, 6);
    skin->Colours
        = { { "ButtonFace", QColor(240, 238, 230) }, { "Highlight", QColor(20, 120, 130) } };
    return skin;
}

} // namespace quillet::skin::testing
