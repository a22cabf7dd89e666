#pragma once

#include <QAbstractItemDelegate>

namespace quillet {

// Draws the rows of the contact list, all alike: at least 13 pixels high and always tall enough
// for the list's font (descenders are never cut), the row filled with the list's background (the
// highlight when selected), the name on one line in the list's font, vertically centred, 2
// pixels from the left edge, an ampersand shown as typed; the focus rectangle on the row with
// the keyboard focus. A name too long for the row ends in "…", and its tool tip shows it whole.
class TUserRowDelegate final : public QAbstractItemDelegate {
public:
    static constexpr int RowHeight = 13;
    // Room above and below the font's own height.
    static constexpr int RowPadding = 1;
    // From the row's left edge to the name, and kept free at its right end.
    static constexpr int TextIndent = 2;

    using QAbstractItemDelegate::QAbstractItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
        const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;

    // The name as the row shows it: whole, or cut to fit with "…" at the end.
    static QString ShownName(const QString& name, const QFontMetrics& metrics, int rowWidth);
    // The row's tool tip (rich text, the name as typed); empty when the row shows the whole name.
    static QString ToolTip(const QString& name, const QFontMetrics& metrics, int rowWidth);
};

} // namespace quillet
