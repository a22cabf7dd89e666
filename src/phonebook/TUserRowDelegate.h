#pragma once

#include <QAbstractItemDelegate>

namespace quillet {

// Draws the rows of the contact list, all alike: 13 pixels high, the row filled with the list's
// background (the highlight when selected), the name on one line in the list's font, vertically
// centred, 2 pixels from the left edge, an ampersand shown as typed; the focus rectangle on the
// row with the keyboard focus.
class TUserRowDelegate final : public QAbstractItemDelegate {
public:
    static constexpr int RowHeight = 13;

    using QAbstractItemDelegate::QAbstractItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
        const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace quillet
