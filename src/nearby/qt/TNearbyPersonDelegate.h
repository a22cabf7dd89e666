#pragma once

#include <QStyledItemDelegate>

namespace quillet {

// Draws a person nearby in two lines: the name, and under it, smaller, the computer's name and
// address, after the row's warning (in bold) when it has one. All as plain text.
class TNearbyPersonDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
        const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    static QFont SmallFont(const QFont& font);
};

} // namespace quillet
