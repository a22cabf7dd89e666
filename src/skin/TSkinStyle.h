#pragma once

#include "skin/SkinControls.h"
#include "skin/TSkinPainter.h"

#include <QProxyStyle>

#include <memory>

namespace quillet::skin {

// The Qt style that paints the program's controls from a skin. Push buttons, check boxes, radio
// buttons, group boxes, tabs and their pane, scroll bars, the frames of edits and lists, and
// menus are drawn from the skin's parts with the nine-piece primitive, in the frame that matches
// the control's state; the skin's colours become the palette. Whatever the skin leaves out (a
// part without a bitmap, a control kind not in `controls`, a widget carrying the disable tag,
// controls the skin has no part for) is drawn by Fusion underneath.
class TSkinStyle final : public QProxyStyle {
public:
    // The name of the widget property that leaves a widget, and everything on it, unskinned when
    // it holds `disableTag`.
    static constexpr const char* TagProperty = "tag";

    TSkinStyle(std::shared_ptr<const TSkin> skin, TSkinControls controls, int disableTag);

    const TSkinPainter& Painter() const { return Parts; }

    // Whether `widget` is painted from the skin: false when it or a widget it lies on carries the
    // disable tag. A null widget (painting outside any widget) is skinned.
    bool SkinsWidget(const QWidget* widget) const;

    QPalette standardPalette() const override;
    void polish(QPalette& palette) override;
    void polish(QWidget* widget) override;
    void unpolish(QWidget* widget) override;
    using QProxyStyle::polish;
    using QProxyStyle::unpolish;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
        const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
        const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
        QPainter* painter, const QWidget* widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
        const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
        const QWidget* widget = nullptr) const override;

protected:
    // Repaints the frames of edits and lists when the focus or the pointer comes and goes: their
    // frame shows both, and Qt repaints neither on its own.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Uses(TSkinPartKind kind, TSkinControl control, const QWidget* widget) const;
    bool Uses(TSkinPartKind kind, const QWidget* widget) const;
    bool DrawPushButtonBevel(const QStyleOption* option, QPainter* painter) const;
    void DrawPushButtonLabel(
        const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    bool DrawTabShape(const QStyleOption* option, QPainter* painter) const;
    void DrawTabLabel(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    bool DrawTabPane(const QStyleOption* option, QPainter* painter) const;
    bool DrawMenuItem(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    bool DrawMenuBarItem(const QStyleOption* option, QPainter* painter) const;
    bool DrawScrollBar(
        const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const;
    bool DrawGroupBox(
        const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const;
    void DrawFocusRing(const QStyleOption* option, QPainter* painter) const;

    TSkinPainter Parts;
    TSkinControls Controls;
    int DisableTag;
};

} // namespace quillet::skin
