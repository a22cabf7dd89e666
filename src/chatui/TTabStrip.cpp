#include "chatui/TTabStrip.h"

#include "chatui/TTabStripAccessible.h"

#include <QContextMenuEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QTabBar>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <limits>
#include <utility>

namespace quillet {
namespace {

constexpr int SideMargin = 2; // keeps the outer tab borders inside the strip
constexpr int MinTabWidth = 48; // an empty caption still leaves something to click
constexpr int VerticalPadding = 8; // caption height plus this is a row's height

} // namespace

TTabStrip::TTabStrip(QWidget* parent)
    : QWidget(parent)
{
    // Clicking a tab must not take the keyboard away from the typing pane.
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // The tab under the pointer is drawn lit.
    setMouseTracking(true);
}

int TTabStrip::AddTab(const QString& caption)
{
    TTab tab;
    tab.Caption = caption;
    tab.Key = NextKey++;
    Tabs.push_back(tab);
    const bool first = Current < 0;
    if (first)
        Current = 0;
    Invalidate();
    TTabStripAccessible::TabAdded(*this, Count() - 1);
    if (first)
        TTabStripAccessible::CurrentChanged(*this, -1, Current);
    return Count() - 1;
}

void TTabStrip::RemoveTab(int index)
{
    if (index < 0 || index >= Count())
        return;
    TTabStripAccessible::TabRemoving(*this, index);
    Tabs.erase(Tabs.begin() + index);
    const bool wasCurrent = index == Current;
    if (Tabs.empty())
        Current = -1;
    else if (index < Current || Current >= Count())
        --Current;
    Invalidate();
    if (wasCurrent)
        TTabStripAccessible::CurrentChanged(*this, -1, Current);
}

std::uint64_t TTabStrip::TabKey(int index) const
{
    return index >= 0 && index < Count() ? Tabs[static_cast<std::size_t>(index)].Key : 0;
}

int TTabStrip::IndexOfKey(std::uint64_t key) const
{
    const auto found = std::lower_bound(Tabs.begin(), Tabs.end(), key,
        [](const TTab& tab, std::uint64_t wanted) { return tab.Key < wanted; });
    return found != Tabs.end() && found->Key == key ? static_cast<int>(found - Tabs.begin()) : -1;
}

QString TTabStrip::Caption(int index) const
{
    return index >= 0 && index < Count() ? Tabs[static_cast<std::size_t>(index)].Caption
                                         : QString();
}

void TTabStrip::SetCaption(int index, const QString& caption)
{
    if (index < 0 || index >= Count() || Tabs[static_cast<std::size_t>(index)].Caption == caption)
        return;
    Tabs[static_cast<std::size_t>(index)].Caption = caption;
    Tabs[static_cast<std::size_t>(index)].Width = -1;
    // The tab's own text changes even where its place stays.
    RepaintTab(index);
    Invalidate();
    TTabStripAccessible::TabChanged(*this, index, QAccessible::NameChanged);
}

bool TTabStrip::Highlighted(int index) const
{
    return index >= 0 && index < Count() && Tabs[static_cast<std::size_t>(index)].Highlighted;
}

void TTabStrip::SetHighlighted(int index, bool highlighted)
{
    if (index < 0 || index >= Count()
        || Tabs[static_cast<std::size_t>(index)].Highlighted == highlighted)
        return;
    Tabs[static_cast<std::size_t>(index)].Highlighted = highlighted;
    RepaintTab(index);
}

QString TTabStrip::ToolTip(int index) const
{
    return index >= 0 && index < Count() ? Tabs[static_cast<std::size_t>(index)].ToolTip
                                         : QString();
}

void TTabStrip::SetToolTip(int index, const QString& text)
{
    if (index < 0 || index >= Count() || Tabs[static_cast<std::size_t>(index)].ToolTip == text)
        return;
    Tabs[static_cast<std::size_t>(index)].ToolTip = text;
    TTabStripAccessible::TabChanged(*this, index, QAccessible::DescriptionChanged);
}

bool TTabStrip::Ended(int index) const
{
    return index >= 0 && index < Count() && Tabs[static_cast<std::size_t>(index)].Ended;
}

void TTabStrip::SetEnded(int index, bool ended)
{
    if (index < 0 || index >= Count() || Tabs[static_cast<std::size_t>(index)].Ended == ended)
        return;
    Tabs[static_cast<std::size_t>(index)].Ended = ended;
    RepaintTab(index);
    // A screen reader says in words what the eye sees as a greyed tab.
    TTabStripAccessible::TabChanged(*this, index, QAccessible::DescriptionChanged);
}

void TTabStrip::SetCurrentIndex(int index)
{
    if (index < -1 || index >= Count() || index == Current)
        return;
    TTabStripAccessible::CurrentChanged(*this, std::exchange(Current, index), index);
    ShowCurrentRow();
    update();
}

void TTabStrip::ChooseTab(int index)
{
    if (index < 0 || index >= Count())
        return;
    if (index != Current) {
        TTabStripAccessible::CurrentChanged(*this, std::exchange(Current, index), index);
        ShowCurrentRow();
        update();
        emit TabChosen(index);
    }
    emit TabClicked(index);
}

int TTabStrip::TabHeight() const
{
    return fontMetrics().height() + VerticalPadding;
}

int TTabStrip::TextPadding() const
{
    // The room the style keeps beside a caption, both sides together.
    return style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, this);
}

int TTabStrip::NaturalTabWidth(int index) const
{
    const TTab& tab = Tabs[static_cast<std::size_t>(index)];
    if (tab.Width < 0)
        tab.Width
            = std::max(MinTabWidth, fontMetrics().horizontalAdvance(tab.Caption) + TextPadding());
    return tab.Width;
}

TTabStrip::TLayout TTabStrip::ComputeLayout(int width) const
{
    TLayout layout;
    if (Tabs.empty())
        return layout;
    const int usable = std::max(MinTabWidth, width - 2 * SideMargin);
    const int height = TabHeight();

    // Fill rows left to right; a tab that would cross the right edge starts the next row.
    std::vector<std::vector<int>> rows(1);
    std::vector<int> widths(Tabs.size());
    int x = 0;
    for (int i = 0; i < Count(); ++i) {
        const int w = std::min(NaturalTabWidth(i), usable);
        widths[static_cast<std::size_t>(i)] = w;
        if (!rows.back().empty() && x + w > usable) {
            rows.emplace_back();
            x = 0;
        }
        rows.back().push_back(i);
        x += w;
    }

    // With more than one row every row is stretched to the full width, so the rows read as a
    // block instead of a ragged edge.
    layout.Rects.resize(Tabs.size());
    layout.Rows = static_cast<int>(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::vector<int>& row = rows[r];
        int natural = 0;
        for (const int i : row)
            natural += widths[static_cast<std::size_t>(i)];
        const int spare = layout.Rows > 1 ? std::max(0, usable - natural) : 0;
        const int count = static_cast<int>(row.size());
        int left = SideMargin;
        for (int k = 0; k < count; ++k) {
            const int i = row[static_cast<std::size_t>(k)];
            const int extra = spare / count + (k < spare % count ? 1 : 0);
            const int w = widths[static_cast<std::size_t>(i)] + extra;
            layout.Rects[static_cast<std::size_t>(i)]
                = QRect(left, static_cast<int>(r) * height, w, height);
            left += w;
        }
    }
    return layout;
}

const TTabStrip::TLayout& TTabStrip::CurrentLayout() const
{
    if (CachedWidth != width()) {
        ++LayoutCount;
        Cached = ComputeLayout(width());
        CachedWidth = width();
    }
    return Cached;
}

void TTabStrip::Invalidate()
{
    // The new layout is worked out once per pass of the event loop, however many tabs came, went
    // or changed in it: with a thousand callers arriving (or hanging up) together, a layout per
    // change made every change cost as much as there are tabs. Until then the layout is made
    // on demand by whatever asks for it.
    if (!LayoutPosted) {
        LayoutPosted = true;
        const bool hadLayout = CachedWidth == width();
        Shown = hadLayout ? Cached.Rects : std::vector<QRect>();
        ShownValid = hadLayout;
        QMetaObject::invokeMethod(
            this, [this] { FinishLayout(); }, Qt::QueuedConnection);
    }
    CachedWidth = -1;
    Hovered = -1;
}

void TTabStrip::RepaintTab(int index)
{
    // While the layout waits to be made, asking where the tab is would make it now (once per
    // tab changed); the whole strip is repainted when it is made instead.
    if (LayoutPosted)
        RepaintAll = true;
    else
        update(TabRect(index).adjusted(-2, -2, 2, 2));
}

void TTabStrip::FinishLayout()
{
    LayoutPosted = false;
    // Only the tabs that moved or changed are repainted: with many conversations, repainting
    // every tab for each one that comes or goes made the main thread's work grow with their
    // number. A change of the row count changes the strip's height, which repaints it whole.
    const std::vector<QRect>& after = CurrentLayout().Rects;
    QRect changed;
    for (std::size_t i = 0; i < std::max(Shown.size(), after.size()); ++i) {
        const QRect was = i < Shown.size() ? Shown[i] : QRect();
        const QRect now = i < after.size() ? after[i] : QRect();
        if (was != now)
            changed |= was | now;
    }
    updateGeometry();
    const int firstRow = FirstRow;
    // A wheel may have scrolled the current tab out of view; only a new current tab (the one
    // before was removed) is brought back into it.
    if (TabKey(Current) != ShownCurrent)
        ShowCurrentRow();
    else
        ScrollRows(0);
    if (!ShownValid || std::exchange(RepaintAll, false) || FirstRow != firstRow)
        update();
    else if (!changed.isEmpty())
        update(changed.adjusted(-2, -2, 2, 2));
    Shown.clear();
}

int TTabStrip::RowCount() const
{
    return CurrentLayout().Rows;
}

int TTabStrip::MaxRows() const
{
    const QScreen* shownOn = screen();
    if (shownOn == nullptr)
        return std::numeric_limits<int>::max();
    return std::max(1, shownOn->availableGeometry().height() / MaxShareOfScreen / TabHeight());
}

int TTabStrip::VisibleRows() const
{
    return std::min(std::max(1, RowCount()), MaxRows());
}

void TTabStrip::ScrollRows(int rows)
{
    FirstRow = std::clamp(FirstRow + rows, 0, std::max(0, RowCount() - VisibleRows()));
}

void TTabStrip::ShowCurrentRow()
{
    ShownCurrent = TabKey(Current);
    const TLayout& layout = CurrentLayout();
    if (Current >= 0 && Current < static_cast<int>(layout.Rects.size())) {
        const int row = layout.Rects[static_cast<std::size_t>(Current)].y() / TabHeight();
        FirstRow = std::clamp(FirstRow, row - VisibleRows() + 1, row);
    }
    ScrollRows(0);
}

QRect TTabStrip::TabRect(int index) const
{
    const TLayout& layout = CurrentLayout();
    if (index < 0 || index >= static_cast<int>(layout.Rects.size()))
        return {};
    return layout.Rects[static_cast<std::size_t>(index)].translated(0, -FirstRow * TabHeight());
}

int TTabStrip::TabAt(const QPoint& pos) const
{
    const TLayout& layout = CurrentLayout();
    const QPoint inLayout = pos + QPoint(0, FirstRow * TabHeight());
    for (std::size_t i = 0; i < layout.Rects.size(); ++i) {
        if (layout.Rects[i].contains(inLayout))
            return static_cast<int>(i);
    }
    return -1;
}

int TTabStrip::heightForWidth(int width) const
{
    // An empty strip keeps one row so that the pages do not jump when the first tab arrives.
    const int rows = width == this->width() ? CurrentLayout().Rows : ComputeLayout(width).Rows;
    return std::min(std::max(1, rows), MaxRows()) * TabHeight();
}

QSize TTabStrip::sizeHint() const
{
    return { 200, heightForWidth(width() > 0 ? width() : 200) };
}

QSize TTabStrip::minimumSizeHint() const
{
    return { MinTabWidth + 2 * SideMargin, TabHeight() };
}

void TTabStrip::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    ChooseTab(TabAt(event->position().toPoint()));
}

void TTabStrip::mouseMoveEvent(QMouseEvent* event)
{
    SetHovered(TabAt(event->position().toPoint()));
    QWidget::mouseMoveEvent(event);
}

void TTabStrip::leaveEvent(QEvent* event)
{
    SetHovered(-1);
    QWidget::leaveEvent(event);
}

void TTabStrip::contextMenuEvent(QContextMenuEvent* event)
{
    // Only a click comes here: the strip never has the keyboard.
    const int index = TabAt(event->pos());
    if (index < 0) {
        event->ignore();
        return;
    }
    event->accept();
    emit TabMenuRequested(index, event->globalPos());
}

void TTabStrip::SetHovered(int index)
{
    if (index == Hovered)
        return;
    const QRect was = TabRect(Hovered);
    Hovered = index;
    update((was | TabRect(Hovered)).adjusted(-2, -2, 2, 2));
}

void TTabStrip::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    CachedWidth = -1;
    ShowCurrentRow();
}

void TTabStrip::wheelEvent(QWheelEvent* event)
{
    // One row per notch of the wheel; the current tab may scroll out of view until it changes.
    const int rows = -event->angleDelta().y() / QWheelEvent::DefaultDeltasPerStep;
    const int firstRow = FirstRow;
    ScrollRows(rows);
    if (FirstRow != firstRow) {
        SetHovered(-1);
        update();
    }
    event->accept();
}

void TTabStrip::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        for (const TTab& tab : Tabs)
            tab.Width = -1;
        Invalidate();
    }
    QWidget::changeEvent(event);
}

bool TTabStrip::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const int index = TabAt(help->pos());
        if (const QString text = ToolTip(index); !text.isEmpty()) {
            // A tool tip that looks like markup is shown as rich text; a peer's name must show
            // as it is, so the text goes as escaped rich text.
            const QString shown = QStringLiteral("<p style='white-space:pre'>")
                + text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"))
                + QStringLiteral("</p>");
            QToolTip::showText(help->globalPos(), shown, this, TabRect(index));
        } else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

QStyleOptionTab TTabStrip::TabOption(int index) const
{
    const TTab& tab = Tabs[static_cast<std::size_t>(index)];
    QStyleOptionTab option;
    option.initFrom(this);
    option.state &= ~(QStyle::State_MouseOver | QStyle::State_HasFocus);
    option.shape = QTabBar::RoundedNorth;
    option.rect = TabRect(index);
    if (index == Current)
        option.state |= QStyle::State_Selected;
    if (index == Hovered)
        option.state |= QStyle::State_MouseOver;
    if (tab.Ended) {
        option.state &= ~QStyle::State_Enabled;
        option.palette.setCurrentColorGroup(QPalette::Disabled);
    }
    if (tab.Highlighted) {
        option.state |= QStyle::State_On;
        const QColor fill = option.palette.color(QPalette::Highlight);
        const QColor text = option.palette.color(QPalette::HighlightedText);
        option.palette.setColor(QPalette::Button, fill);
        option.palette.setColor(QPalette::Window, fill);
        option.palette.setColor(QPalette::ButtonText, text);
        option.palette.setColor(QPalette::WindowText, text);
    }
    // Elided only when its advance does not fit: eliding measures the glyphs' ink, which can
    // reach a pixel past the advance the tab's width was made from.
    const int room = std::max(0, option.rect.width() - TextPadding());
    option.text = fontMetrics().horizontalAdvance(tab.Caption) <= room
        ? tab.Caption
        : fontMetrics().elidedText(tab.Caption, Qt::ElideRight, room);
    // A caption is shown as it is: a peer's name is never read as a mnemonic, so its "&" is
    // doubled for the style.
    option.text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return option;
}

void TTabStrip::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    // The current tab goes last so that it lies over its neighbours.
    std::vector<int> order;
    for (int i = 0; i < Count(); ++i) {
        if (i != Current)
            order.push_back(i);
    }
    if (Current >= 0)
        order.push_back(Current);

    const QRect dirty = event->rect().adjusted(-2, -2, 2, 2);
    for (const int i : order) {
        if (!TabRect(i).intersects(dirty))
            continue;
        const QStyleOptionTab option = TabOption(i);
        style()->drawControl(QStyle::CE_TabBarTabShape, &option, &painter, this);
        style()->drawControl(QStyle::CE_TabBarTabLabel, &option, &painter, this);
    }
}

} // namespace quillet
