#include "chatui/TTabStrip.h"

#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace quillet {
namespace {

constexpr int SideMargin = 2; // keeps the outer tab borders inside the strip
constexpr int TextPadding = 10; // on each side of a caption
constexpr int MinTabWidth = 48; // an empty caption still leaves something to click
constexpr int VerticalPadding = 8; // caption height plus this is a row's height
constexpr int InactiveInset = 2; // tabs that are not current sit lower than the current one

} // namespace

TTabStrip::TTabStrip(QWidget* parent)
    : QWidget(parent)
{
    // Clicking a tab must not take the keyboard away from the typing pane.
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

int TTabStrip::AddTab(const QString& caption)
{
    Tabs.push_back(TTab { caption, false });
    if (Current < 0)
        Current = 0;
    Invalidate();
    return Count() - 1;
}

void TTabStrip::RemoveTab(int index)
{
    if (index < 0 || index >= Count())
        return;
    Tabs.erase(Tabs.begin() + index);
    if (Tabs.empty())
        Current = -1;
    else if (index < Current || Current >= Count())
        --Current;
    Invalidate();
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
    update(TabRect(index).adjusted(-2, -2, 2, 2));
    Invalidate();
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
    update(TabRect(index));
}

void TTabStrip::SetCurrentIndex(int index)
{
    if (index < -1 || index >= Count() || index == Current)
        return;
    Current = index;
    update();
}

int TTabStrip::TabHeight() const
{
    return fontMetrics().height() + VerticalPadding;
}

int TTabStrip::NaturalTabWidth(int index) const
{
    const TTab& tab = Tabs[static_cast<std::size_t>(index)];
    if (tab.Width < 0)
        tab.Width
            = std::max(MinTabWidth, fontMetrics().horizontalAdvance(tab.Caption) + 2 * TextPadding);
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
        Cached = ComputeLayout(width());
        CachedWidth = width();
    }
    return Cached;
}

void TTabStrip::Invalidate()
{
    // Only the tabs that moved or changed are repainted: with many conversations, repainting
    // every tab for each one that comes or goes made the main thread's work grow with their
    // number. A change of the row count changes the strip's height, which repaints it whole.
    const bool hadLayout = CachedWidth == width();
    std::vector<QRect> before;
    if (hadLayout)
        before.swap(Cached.Rects);
    CachedWidth = -1;
    const std::vector<QRect>& after = CurrentLayout().Rects;
    QRect changed;
    for (std::size_t i = 0; i < std::max(before.size(), after.size()); ++i) {
        const QRect was = i < before.size() ? before[i] : QRect();
        const QRect now = i < after.size() ? after[i] : QRect();
        if (!hadLayout || was != now)
            changed |= was | now;
    }
    updateGeometry();
    if (!hadLayout)
        update();
    else if (!changed.isEmpty())
        update(changed.adjusted(-2, -2, 2, 2));
}

int TTabStrip::RowCount() const
{
    return CurrentLayout().Rows;
}

QRect TTabStrip::TabRect(int index) const
{
    const TLayout& layout = CurrentLayout();
    if (index < 0 || index >= static_cast<int>(layout.Rects.size()))
        return {};
    return layout.Rects[static_cast<std::size_t>(index)];
}

int TTabStrip::TabAt(const QPoint& pos) const
{
    const TLayout& layout = CurrentLayout();
    for (std::size_t i = 0; i < layout.Rects.size(); ++i) {
        if (layout.Rects[i].contains(pos))
            return static_cast<int>(i);
    }
    return -1;
}

int TTabStrip::heightForWidth(int width) const
{
    // An empty strip keeps one row so that the pages do not jump when the first tab arrives.
    const int rows = width == this->width() ? CurrentLayout().Rows : ComputeLayout(width).Rows;
    return std::max(1, rows) * TabHeight();
}

QSize TTabStrip::sizeHint() const
{
    return { 200, heightForWidth(width() > 0 ? width() : 200) };
}

QSize TTabStrip::minimumSizeHint() const
{
    return { MinTabWidth + 2 * SideMargin, TabHeight() };
}

void TTabStrip::Choose(int index)
{
    if (index < 0 || index == Current)
        return;
    Current = index;
    update();
    emit TabChosen(index);
}

void TTabStrip::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    Choose(TabAt(event->position().toPoint()));
}

void TTabStrip::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    CachedWidth = -1;
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

void TTabStrip::paintEvent(QPaintEvent* event)
{
    const TLayout& layout = CurrentLayout();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPalette& pal = palette();
    const QColor face = pal.color(QPalette::Button);
    const QColor border = pal.color(QPalette::Dark);

    // The current tab goes last so that its outline lies over its neighbours'.
    std::vector<int> order;
    for (int i = 0; i < Count(); ++i) {
        if (i != Current)
            order.push_back(i);
    }
    if (Current >= 0)
        order.push_back(Current);

    const QRect dirty = event->rect().adjusted(-2, -2, 2, 2);
    for (const int i : order) {
        if (!layout.Rects[static_cast<std::size_t>(i)].intersects(dirty))
            continue;
        const TTab& tab = Tabs[static_cast<std::size_t>(i)];
        const bool current = i == Current;
        QRectF r = QRectF(layout.Rects[static_cast<std::size_t>(i)]).adjusted(0.5, 0.5, -0.5, 0.5);
        if (!current)
            r.setTop(r.top() + InactiveInset);

        QColor fill = current ? face.lighter(104) : face.darker(110);
        QColor text = pal.color(QPalette::ButtonText);
        if (tab.Highlighted) {
            fill = pal.color(QPalette::Highlight);
            text = pal.color(QPalette::HighlightedText);
        }

        QPainterPath path;
        const qreal radius = 3.0;
        path.moveTo(r.bottomLeft());
        path.lineTo(r.left(), r.top() + radius);
        path.quadTo(r.topLeft(), QPointF(r.left() + radius, r.top()));
        path.lineTo(r.right() - radius, r.top());
        path.quadTo(r.topRight(), QPointF(r.right(), r.top() + radius));
        path.lineTo(r.bottomRight());
        painter.fillPath(path, fill);
        painter.setPen(QPen(border, current ? 1.5 : 1.0));
        painter.drawPath(path);

        painter.setPen(text);
        const QRect textRect = r.toAlignedRect().adjusted(TextPadding / 2, 0, -TextPadding / 2, 0);
        const QString caption
            = fontMetrics().elidedText(tab.Caption, Qt::ElideRight, textRect.width());
        // A caption is shown as it is: a peer's name is never interpreted as markup or mnemonic.
        painter.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, caption);
    }
}

} // namespace quillet
