#include "nearby/qt/TNearbyPeopleView.h"

#include <QPainter>

namespace quillet {

TNearbyPeopleView::TNearbyPeopleView(QWidget* parent)
    : QListView(parent)
{
    // Every row has the same height: a thousand rows lay out without measuring each.
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
}

void TNearbyPeopleView::SetEmptyText(const QString& text)
{
    if (text == Empty)
        return;
    Empty = text;
    setAccessibleDescription(text);
    viewport()->update();
}

void TNearbyPeopleView::paintEvent(QPaintEvent* event)
{
    QListView::paintEvent(event);
    if (model() != nullptr && model()->rowCount(rootIndex()) > 0)
        return;
    QPainter painter(viewport());
    // Why the list is empty is news the user needs: the text colour, not the placeholder grey,
    // which only just reaches 4.5:1 and, thin and smoothed, reads fainter still.
    painter.setPen(palette().color(QPalette::Text));
    constexpr int Margin = 12;
    painter.drawText(viewport()->rect().adjusted(Margin, Margin, -Margin, -Margin),
        Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, Empty);
}

} // namespace quillet
