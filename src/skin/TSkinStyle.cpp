#include "skin/TSkinStyle.h"

#include "skin/SkinStateFrames.h"

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPixmapCache>
#include <QRadioButton>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTabBar>

#include <initializer_list>

namespace quillet::skin {
namespace {

// Every composed picture lives in Qt's pixmap cache; a maximised chat window's pane alone takes
// several megabytes, more than the cache's default room for everything.
constexpr int MinPixmapCacheKb = 32 * 1024;
// Tabs that are not selected stand this much lower than the selected one.
constexpr int UnselectedTabDrop = 2;
constexpr int MenuSeparatorHeight = 7;
// Room between a group box's title and the top of its frame.
constexpr int GroupBoxTitleGap = 2;

// The part's text colour for the state; invalid when the skin gives none.
QColor TextColour(const TSkinPart& part, bool pressed, bool hover)
{
    if (pressed && part.PressedColour.isValid())
        return part.PressedColour;
    if (hover && part.MouseOverColour.isValid())
        return part.MouseOverColour;
    return part.NormalColour;
}

// Sets the text roles of an enabled control; disabled text keeps the palette's grey.
void SetTextColour(
    QPalette& palette, const QColor& colour, std::initializer_list<QPalette::ColorRole> roles)
{
    if (!colour.isValid())
        return;
    for (const QPalette::ColorRole role : roles) {
        palette.setColor(QPalette::Active, role, colour);
        palette.setColor(QPalette::Inactive, role, colour);
    }
}

bool HasHoverFrame(const QWidget* widget)
{
    return qobject_cast<const QAbstractScrollArea*>(widget) != nullptr
        || qobject_cast<const QLineEdit*>(widget) != nullptr;
}

} // namespace

TSkinStyle::TSkinStyle(std::shared_ptr<const TSkin> skin, TSkinControls controls, int disableTag)
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
    , Parts(std::move(skin))
    , Controls(controls)
    , DisableTag(disableTag)
{
    if (QPixmapCache::cacheLimit() < MinPixmapCacheKb)
        QPixmapCache::setCacheLimit(MinPixmapCacheKb);
}

bool TSkinStyle::SkinsWidget(const QWidget* widget) const
{
    for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        const QVariant tag = w->property(TagProperty);
        if (tag.isValid() && tag.toInt() == DisableTag)
            return false;
    }
    return true;
}

bool TSkinStyle::Uses(TSkinPartKind kind, TSkinControl control, const QWidget* widget) const
{
    return Controls.Contains(control) && Uses(kind, widget);
}

bool TSkinStyle::Uses(TSkinPartKind kind, const QWidget* widget) const
{
    return Parts.Skinned(kind) && SkinsWidget(widget);
}

QPalette TSkinStyle::standardPalette() const
{
    return Parts.Skin().Palette(baseStyle()->standardPalette());
}

void TSkinStyle::polish(QPalette& palette)
{
    palette = Parts.Skin().Palette(palette);
}

void TSkinStyle::polish(QWidget* widget)
{
    QProxyStyle::polish(widget);
    if (widget == nullptr)
        return;
    const QVariant tag = widget->property(TagProperty);
    if (tag.isValid() && tag.toInt() == DisableTag) {
        // Native colours too, apart from those the widget sets itself; the widgets on it
        // inherit them.
        widget->setPalette(widget->palette().resolve(baseStyle()->standardPalette()));
        return;
    }
    if (HasHoverFrame(widget) && SkinsWidget(widget)) {
        widget->setAttribute(Qt::WA_Hover, true);
        widget->installEventFilter(this);
    }
}

void TSkinStyle::unpolish(QWidget* widget)
{
    if (widget != nullptr && HasHoverFrame(widget)) {
        widget->removeEventFilter(this);
        widget->setAttribute(Qt::WA_Hover, false);
    }
    QProxyStyle::unpolish(widget);
}

bool TSkinStyle::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::HoverEnter:
    case QEvent::HoverLeave:
    case QEvent::EnabledChange:
        if (auto* widget = qobject_cast<QWidget*>(watched))
            widget->update();
        break;
    default:
        break;
    }
    return QProxyStyle::eventFilter(watched, event);
}

void TSkinStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
    QPainter* painter, const QWidget* widget) const
{
    const State state = option->state;
    switch (element) {
    case PE_PanelButtonCommand:
        if (Uses(TSkinPartKind::PushButton, TSkinControl::xcButton, widget)
            && Parts.Paint(*painter, TSkinPartKind::PushButton, option->rect, ButtonFrame(state)))
            return;
        break;
    case PE_FrameDefaultButton:
        if (Uses(TSkinPartKind::PushButton, TSkinControl::xcButton, widget))
            return;
        break;
    case PE_IndicatorCheckBox:
        if (Uses(TSkinPartKind::CheckBox, TSkinControl::xcCheckBox, widget)
            && Parts.Paint(*painter, TSkinPartKind::CheckBox, option->rect, MarkFrame(state)))
            return;
        break;
    case PE_IndicatorRadioButton:
        if (Uses(TSkinPartKind::RadioButton, TSkinControl::xcRadioButton, widget)
            && Parts.Paint(*painter, TSkinPartKind::RadioButton, option->rect, MarkFrame(state)))
            return;
        break;
    case PE_FrameFocusRect:
        if ((qobject_cast<const QCheckBox*>(widget) != nullptr
                && Uses(TSkinPartKind::CheckBox, TSkinControl::xcCheckBox, widget))
            || (qobject_cast<const QRadioButton*>(widget) != nullptr
                && Uses(TSkinPartKind::RadioButton, TSkinControl::xcRadioButton, widget))) {
            DrawFocusRing(option, painter);
            return;
        }
        break;
    case PE_FrameGroupBox:
        if (Uses(TSkinPartKind::GroupBox, TSkinControl::xcGroupBox, widget)
            && Parts.Paint(*painter, TSkinPartKind::GroupBox, option->rect, 1))
            return;
        break;
    case PE_FrameTabWidget:
        if (Uses(TSkinPartKind::TabPane, widget) && DrawTabPane(option, painter))
            return;
        break;
    case PE_PanelLineEdit:
        if (const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
            frame != nullptr && frame->lineWidth > 0
            && Uses(TSkinPartKind::SunkEdge, TSkinControl::xcEdit, widget)) {
            const int edge = pixelMetric(PM_DefaultFrameWidth, option, widget);
            painter->fillRect(option->rect.adjusted(edge, edge, -edge, -edge),
                option->palette.brush(QPalette::Base));
            if (Parts.Paint(*painter, TSkinPartKind::SunkEdge, option->rect, EdgeFrame(state)))
                return;
        }
        break;
    case PE_Frame:
    case PE_FrameLineEdit:
        if ((element == PE_FrameLineEdit || (state & State_Sunken))
            && Uses(TSkinPartKind::SunkEdge, TSkinControl::xcEdit, widget)
            && Parts.Paint(*painter, TSkinPartKind::SunkEdge, option->rect, EdgeFrame(state)))
            return;
        break;
    case PE_PanelMenu:
        if (Uses(TSkinPartKind::MenuBackground, TSkinControl::xcPopupMenu, widget)
            && Parts.Paint(*painter, TSkinPartKind::MenuBackground, option->rect, 1))
            return;
        break;
    case PE_FrameMenu:
        // The menu's background picture carries its frame.
        if (Uses(TSkinPartKind::MenuBackground, TSkinControl::xcPopupMenu, widget))
            return;
        break;
    case PE_PanelMenuBar:
        if (Uses(TSkinPartKind::MenuItem, TSkinControl::xcMainMenu, widget)) {
            painter->fillRect(option->rect, option->palette.window());
            return;
        }
        break;
    default:
        break;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void TSkinStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
    const QWidget* widget) const
{
    switch (element) {
    case CE_PushButton:
        // Bevel and label only: a skinned button shows its focus in its own frame, so the
        // focus rectangle drawn over other buttons is left out.
        if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
            button != nullptr && Uses(TSkinPartKind::PushButton, TSkinControl::xcButton, widget)
            && !button->features.testFlag(QStyleOptionButton::Flat)) {
            proxy()->drawControl(CE_PushButtonBevel, option, painter, widget);
            QStyleOptionButton label = *button;
            label.rect = subElementRect(SE_PushButtonContents, button, widget);
            proxy()->drawControl(CE_PushButtonLabel, &label, painter, widget);
            return;
        }
        break;
    case CE_PushButtonBevel:
        if (Uses(TSkinPartKind::PushButton, TSkinControl::xcButton, widget)
            && DrawPushButtonBevel(option, painter))
            return;
        break;
    case CE_PushButtonLabel:
        if (Uses(TSkinPartKind::PushButton, TSkinControl::xcButton, widget)) {
            DrawPushButtonLabel(option, painter, widget);
            return;
        }
        break;
    case CE_TabBarTabShape:
        if (Uses(TSkinPartKind::Tab, widget) && DrawTabShape(option, painter))
            return;
        break;
    case CE_TabBarTabLabel:
        if (Uses(TSkinPartKind::Tab, widget)) {
            DrawTabLabel(option, painter, widget);
            return;
        }
        break;
    case CE_MenuItem:
        if (Uses(TSkinPartKind::MenuItem, TSkinControl::xcMenuItem, widget)
            && DrawMenuItem(option, painter, widget))
            return;
        break;
    case CE_MenuBarItem:
        if (Uses(TSkinPartKind::MenuItem, TSkinControl::xcMainMenu, widget)
            && DrawMenuBarItem(option, painter))
            return;
        break;
    case CE_MenuBarEmptyArea:
        if (Uses(TSkinPartKind::MenuItem, TSkinControl::xcMainMenu, widget)) {
            drawPrimitive(PE_PanelMenuBar, option, painter, widget);
            return;
        }
        break;
    default:
        break;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void TSkinStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
    QPainter* painter, const QWidget* widget) const
{
    if (control == CC_ScrollBar && Controls.Contains(TSkinControl::xcScrollbar)
        && SkinsWidget(widget) && DrawScrollBar(option, painter, widget))
        return;
    if (control == CC_GroupBox && Uses(TSkinPartKind::GroupBox, TSkinControl::xcGroupBox, widget)
        && DrawGroupBox(option, painter, widget))
        return;
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}

int TSkinStyle::pixelMetric(
    PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    switch (metric) {
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
        if (Uses(TSkinPartKind::CheckBox, TSkinControl::xcCheckBox, widget)) {
            const QSize size = Parts.Part(TSkinPartKind::CheckBox).FrameSize();
            return metric == PM_IndicatorWidth ? size.width() : size.height();
        }
        break;
    case PM_ExclusiveIndicatorWidth:
    case PM_ExclusiveIndicatorHeight:
        if (Uses(TSkinPartKind::RadioButton, TSkinControl::xcRadioButton, widget)) {
            const QSize size = Parts.Part(TSkinPartKind::RadioButton).FrameSize();
            return metric == PM_ExclusiveIndicatorWidth ? size.width() : size.height();
        }
        break;
    case PM_ScrollBarExtent:
        if (Controls.Contains(TSkinControl::xcScrollbar) && SkinsWidget(widget)
            && Parts.Skinned(TSkinPartKind::VertScroll) && Parts.Skinned(TSkinPartKind::HorzScroll))
            return Parts.Part(TSkinPartKind::VertScroll).FrameSize().width();
        break;
    case PM_DefaultFrameWidth:
        if (HasHoverFrame(widget) && Uses(TSkinPartKind::SunkEdge, TSkinControl::xcEdit, widget))
            return std::max(1, Parts.Part(TSkinPartKind::SunkEdge).Margins.left());
        break;
    case PM_MenuPanelWidth:
        if (Uses(TSkinPartKind::MenuBackground, TSkinControl::xcPopupMenu, widget))
            return Parts.Part(TSkinPartKind::MenuBackground).Margins.left();
        break;
    case PM_TabBarBaseOverlap:
        if (Uses(TSkinPartKind::TabPane, widget))
            return Parts.Part(TSkinPartKind::TabPane).Margins.top();
        break;
    default:
        break;
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}

QSize TSkinStyle::sizeFromContents(
    ContentsType type, const QStyleOption* option, const QSize& size, const QWidget* widget) const
{
    QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
    // A separator gets room around its line, so that it does not touch a lit item.
    if (type == CT_MenuItem && Uses(TSkinPartKind::MenuItem, TSkinControl::xcMenuItem, widget)) {
        if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
            item != nullptr && item->menuItemType == QStyleOptionMenuItem::Separator)
            result.setHeight(std::max(result.height(), MenuSeparatorHeight));
    }
    return result;
}

bool TSkinStyle::DrawPushButtonBevel(const QStyleOption* option, QPainter* painter) const
{
    // Flat buttons keep the native look: they are meant to blend into what is around them.
    if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        button != nullptr && button->features.testFlag(QStyleOptionButton::Flat))
        return false;
    return Parts.Paint(
        *painter, TSkinPartKind::PushButton, option->rect, ButtonFrame(option->state));
}

void TSkinStyle::DrawPushButtonLabel(
    const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    if (button == nullptr) {
        QProxyStyle::drawControl(CE_PushButtonLabel, option, painter, widget);
        return;
    }
    QStyleOptionButton copy = *button;
    const bool pressed = (option->state & (State_Sunken | State_On)) != 0;
    const bool hover = (option->state & State_MouseOver) != 0;
    SetTextColour(copy.palette, TextColour(Parts.Part(TSkinPartKind::PushButton), pressed, hover),
        { QPalette::ButtonText });
    QProxyStyle::drawControl(CE_PushButtonLabel, &copy, painter, widget);
}

bool TSkinStyle::DrawTabShape(const QStyleOption* option, QPainter* painter) const
{
    const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option);
    if (tab == nullptr || tab->shape != QTabBar::RoundedNorth)
        return false;
    const State state = option->state;
    const bool selected = (state & State_Selected) != 0;
    const bool ended = !(state & State_Enabled);
    int frame = frames::TabNormal;
    // An "on" tab is one lit to ask for attention; a disabled one is an ended conversation's,
    // drawn opaque like the others so that its caption keeps its contrast.
    if (state & State_On)
        frame = frames::TabAttention;
    else if (selected)
        frame = frames::TabSelected;
    else if (ended && Parts.Part(TSkinPartKind::Tab).FrameCount >= frames::TabEnded)
        frame = frames::TabEnded;
    else if ((state & State_MouseOver) && !ended)
        frame = frames::TabHover;
    QRect rect = option->rect;
    // The selected tab reaches down over the pane's top edge and opens into it; the others
    // stand on that edge.
    if (!selected)
        rect.adjust(0, UnselectedTabDrop, 0, -Parts.Part(TSkinPartKind::TabPane).Margins.top());
    return Parts.Paint(*painter, TSkinPartKind::Tab, rect, frame);
}

void TSkinStyle::DrawTabLabel(
    const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option);
    if (tab == nullptr) {
        QProxyStyle::drawControl(CE_TabBarTabLabel, option, painter, widget);
        return;
    }
    const TSkinPart& part = Parts.Part(TSkinPartKind::Tab);
    const State state = option->state;
    QStyleOptionTab copy = *tab;
    // A lit tab's caption has the lit frame's colour, an ended one's included; other ended tabs
    // keep the palette's disabled text colour.
    if ((state & State_On) && part.NormalColour2.isValid()) {
        for (const QPalette::ColorGroup group :
            { QPalette::Active, QPalette::Inactive, QPalette::Disabled }) {
            copy.palette.setColor(group, QPalette::WindowText, part.NormalColour2);
            copy.palette.setColor(group, QPalette::ButtonText, part.NormalColour2);
        }
    } else {
        SetTextColour(copy.palette,
            TextColour(part, (state & State_Selected) != 0, (state & State_MouseOver) != 0),
            { QPalette::WindowText, QPalette::ButtonText });
    }
    QProxyStyle::drawControl(CE_TabBarTabLabel, &copy, painter, widget);
}

bool TSkinStyle::DrawTabPane(const QStyleOption* option, QPainter* painter) const
{
    const auto* pane = qstyleoption_cast<const QStyleOptionTabWidgetFrame*>(option);
    if (pane == nullptr || pane->shape != QTabBar::RoundedNorth)
        return false;
    return Parts.Paint(*painter, TSkinPartKind::TabPane, option->rect, 1);
}

bool TSkinStyle::DrawMenuItem(
    const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (item == nullptr)
        return false;
    if (item->menuItemType == QStyleOptionMenuItem::Separator) {
        const int y = option->rect.center().y();
        painter->save();
        painter->setPen(option->palette.color(QPalette::Mid));
        painter->drawLine(option->rect.left() + 6, y, option->rect.right() - 6, y);
        painter->restore();
        return true;
    }
    const bool lit = (option->state & State_Selected) && (option->state & State_Enabled);
    if (lit)
        Parts.Paint(*painter, TSkinPartKind::MenuItem, option->rect.adjusted(2, 0, -2, 0), 1);
    // The rest as an unlit item in the skin's text colour: the picture is the highlight.
    QStyleOptionMenuItem copy = *item;
    copy.state &= ~State_Selected;
    const TSkinPart& part = Parts.Part(TSkinPartKind::MenuItem);
    SetTextColour(copy.palette, lit ? part.MouseOverColour : part.NormalColour,
        { QPalette::Text, QPalette::WindowText, QPalette::ButtonText });
    QProxyStyle::drawControl(CE_MenuItem, &copy, painter, widget);
    return true;
}

bool TSkinStyle::DrawMenuBarItem(const QStyleOption* option, QPainter* painter) const
{
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (item == nullptr)
        return false;
    painter->fillRect(option->rect, option->palette.window());
    const bool lit = (option->state & State_Selected) && (option->state & State_Enabled);
    if (lit)
        Parts.Paint(*painter, TSkinPartKind::MenuItem, option->rect.adjusted(0, 1, 0, -1), 1);
    QPalette palette = item->palette;
    const TSkinPart& part = Parts.Part(TSkinPartKind::MenuItem);
    SetTextColour(
        palette, lit ? part.MouseOverColour : part.NormalColour, { QPalette::ButtonText });
    int flags = Qt::AlignCenter | Qt::TextShowMnemonic | Qt::TextDontClip | Qt::TextSingleLine;
    if (!styleHint(SH_UnderlineShortcut, item, nullptr))
        flags |= Qt::TextHideMnemonic;
    drawItemText(painter, item->rect, flags, palette, (option->state & State_Enabled) != 0,
        item->text, QPalette::ButtonText);
    return true;
}

bool TSkinStyle::DrawScrollBar(
    const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const
{
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (bar == nullptr)
        return false;
    const bool horizontal = bar->orientation == Qt::Horizontal;
    const TSkinPartKind groove = horizontal ? TSkinPartKind::HorzScroll : TSkinPartKind::VertScroll;
    const TSkinPartKind thumb
        = horizontal ? TSkinPartKind::HorzScrollThumb : TSkinPartKind::VertScrollThumb;
    if (!Parts.Skinned(groove) || !Parts.Skinned(thumb)
        || !Parts.Skinned(TSkinPartKind::ScrollButton))
        return false;

    const bool enabled = (option->state & State_Enabled) != 0;
    const bool sunken = (option->state & State_Sunken) != 0;
    const bool hover = (option->state & State_MouseOver) != 0;
    Parts.Paint(*painter, groove, option->rect, 1);

    const TSkinPart& buttons = Parts.Part(TSkinPartKind::ScrollButton);
    for (const SubControl sub : { SC_ScrollBarSubLine, SC_ScrollBarAddLine }) {
        if (!(bar->subControls & sub))
            continue;
        const QRect rect = subControlRect(CC_ScrollBar, bar, sub, widget);
        const bool active = (bar->activeSubControls & sub) != 0;
        Parts.Paint(*painter, TSkinPartKind::ScrollButton, rect,
            ScrollFrame(enabled, active && sunken, active && hover));
        QStyleOption arrow = *option;
        arrow.rect = rect;
        arrow.state &= ~(State_Sunken | State_MouseOver);
        SetTextColour(arrow.palette, TextColour(buttons, active && sunken, active && hover),
            { QPalette::ButtonText, QPalette::WindowText });
        PrimitiveElement element;
        if (horizontal)
            element = sub == SC_ScrollBarSubLine ? PE_IndicatorArrowLeft : PE_IndicatorArrowRight;
        else
            element = sub == SC_ScrollBarSubLine ? PE_IndicatorArrowUp : PE_IndicatorArrowDown;
        proxy()->drawPrimitive(element, &arrow, painter, widget);
    }
    // Nothing to scroll: no thumb, as natively.
    if ((bar->subControls & SC_ScrollBarSlider) && bar->maximum > bar->minimum) {
        const QRect rect = subControlRect(CC_ScrollBar, bar, SC_ScrollBarSlider, widget);
        const bool active = (bar->activeSubControls & SC_ScrollBarSlider) != 0;
        Parts.Paint(*painter, thumb, rect, ScrollFrame(enabled, active && sunken, active && hover));
    }
    return true;
}

bool TSkinStyle::DrawGroupBox(
    const QStyleOptionComplex* option, QPainter* painter, const QWidget* widget) const
{
    const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    if (box == nullptr || !(box->subControls & SC_GroupBoxFrame)
        || box->features.testFlag(QStyleOptionFrame::Flat))
        return false;
    // The frame starts below the title (and the check box of a checkable group), as the base
    // style lays out the contents; the base style then draws the title alone.
    QRect frame = box->rect;
    QRect title;
    if (box->subControls & SC_GroupBoxLabel)
        title |= subControlRect(CC_GroupBox, box, SC_GroupBoxLabel, widget);
    if (box->subControls & SC_GroupBoxCheckBox)
        title |= subControlRect(CC_GroupBox, box, SC_GroupBoxCheckBox, widget);
    if (!title.isEmpty())
        frame.setTop(title.bottom() + 1 + GroupBoxTitleGap);
    if (!Parts.Paint(*painter, TSkinPartKind::GroupBox, frame, 1))
        return false;
    QStyleOptionGroupBox rest = *box;
    rest.subControls &= ~SC_GroupBoxFrame;
    QProxyStyle::drawComplexControl(CC_GroupBox, &rest, painter, widget);
    return true;
}

void TSkinStyle::DrawFocusRing(const QStyleOption* option, QPainter* painter) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    QColor colour = option->palette.color(QPalette::Highlight);
    colour.setAlpha(170);
    painter->setPen(QPen(colour, 1.0));
    painter->setBrush(Qt::NoBrush);
    painter->drawRoundedRect(QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5), 2.0, 2.0);
    painter->restore();
}

} // namespace quillet::skin
