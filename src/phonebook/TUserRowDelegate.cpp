#include "phonebook/TUserRowDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace quillet {

void TUserRowDelegate::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    QPalette::ColorGroup group = QPalette::Active;
    if (!option.state.testFlag(QStyle::State_Enabled))
        group = QPalette::Disabled;
    else if (!option.state.testFlag(QStyle::State_Active))
        group = QPalette::Inactive;

    painter->save();
    painter->fillRect(
        option.rect, option.palette.color(group, selected ? QPalette::Highlight : QPalette::Base));
    painter->setFont(option.font);
    painter->setPen(
        option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    // Without a mnemonic flag drawText takes "&" as an ordinary character; the text is clipped to
    // the row.
    painter->drawText(option.rect.adjusted(2, 0, 0, 0),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, index.data().toString());
    if (option.state.testFlag(QStyle::State_HasFocus)) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.backgroundColor
            = option.palette.color(group, selected ? QPalette::Highlight : QPalette::Base);
        const QStyle* style
            = option.widget != nullptr ? option.widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
    }
    painter->restore();
}

QSize TUserRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return { option.rect.width(), RowHeight };
}

} // namespace quillet
