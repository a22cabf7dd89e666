#include "phonebook/TUserRowDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QTextDocument>
#include <QToolTip>

#include <algorithm>

namespace quillet {

QString TUserRowDelegate::ShownName(const QString& name, const QFontMetrics& metrics, int rowWidth)
{
    // Without a mnemonic flag an ampersand counts as an ordinary character.
    return metrics.elidedText(name, Qt::ElideRight, std::max(0, rowWidth - 2 * TextIndent));
}

QString TUserRowDelegate::ToolTip(const QString& name, const QFontMetrics& metrics, int rowWidth)
{
    if (ShownName(name, metrics, rowWidth) == name)
        return {};
    // A name is shown as typed, never read as rich text.
    return Qt::convertFromPlainText(name, Qt::WhiteSpaceNoWrap);
}

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
    // Without a mnemonic flag drawText takes "&" as an ordinary character.
    painter->drawText(option.rect.adjusted(TextIndent, 0, 0, 0),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        ShownName(index.data().toString(), QFontMetrics(option.font), option.rect.width()));
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
    return { option.rect.width(),
        std::max(RowHeight, QFontMetrics(option.font).height() + 2 * RowPadding) };
}

bool TUserRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
    const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event == nullptr || view == nullptr || event->type() != QEvent::ToolTip)
        return QAbstractItemDelegate::helpEvent(event, view, option, index);
    const QString tip
        = ToolTip(index.data().toString(), QFontMetrics(option.font), option.rect.width());
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPos(), tip, view->viewport(), option.rect);
    return true;
}

} // namespace quillet
