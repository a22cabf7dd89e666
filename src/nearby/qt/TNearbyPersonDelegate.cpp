#include "nearby/qt/TNearbyPersonDelegate.h"

#include "nearby/qt/TNearbyPeopleModel.h"

#include <QApplication>
#include <QPainter>

namespace quillet {
namespace {

constexpr int Padding = 4;

} // namespace

QFont TNearbyPersonDelegate::SmallFont(const QFont& font)
{
    QFont small = font;
    if (small.pixelSize() > 0)
        small.setPixelSize(std::max(8, small.pixelSize() * 5 / 6));
    else
        small.setPointSizeF(std::max(6.0, small.pointSizeF() * 5 / 6));
    return small;
}

void TNearbyPersonDelegate::paint(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString name = item.text;
    item.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    // The background, selection and focus as the style draws them, without the text.
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const bool selected = (option.state & QStyle::State_Selected) != 0;
    const QPalette::ColorGroup group
        = (option.state & QStyle::State_Enabled) != 0 ? QPalette::Normal : QPalette::Disabled;
    const QColor text
        = option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    const QRect area = option.rect.adjusted(Padding, Padding / 2, -Padding, -Padding / 2);
    const QFontMetrics nameMetrics(option.font);
    const QFont small = SmallFont(option.font);
    const QFontMetrics smallMetrics(small);

    painter->save();
    painter->setPen(text);
    painter->setFont(option.font);
    const QRect nameLine(area.left(), area.top(), area.width(), nameMetrics.height());
    painter->drawText(nameLine, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        nameMetrics.elidedText(name, Qt::ElideRight, nameLine.width()));

    QRect computerLine(area.left(), nameLine.bottom() + 1, area.width(), smallMetrics.height());
    QString computer = index.data(TNearbyPeopleModel::ComputerRole).toString();
    // The warning leads the line in full colour and bold: it must be read before the row is
    // taken for the contact.
    if (const QString warning = index.data(TNearbyPeopleModel::WarningRole).toString();
        !warning.isEmpty()) {
        QFont bold = small;
        bold.setBold(true);
        const QFontMetrics boldMetrics(bold);
        const QString shown = boldMetrics.elidedText(warning, Qt::ElideRight, computerLine.width());
        painter->setFont(bold);
        painter->drawText(
            computerLine, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
        computerLine.setLeft(computerLine.left() + boldMetrics.horizontalAdvance(shown));
        computer = QStringLiteral(" \u00B7 ") + computer;
    }

    QColor faint = text;
    if (!selected)
        faint.setAlphaF(0.65F);
    painter->setPen(faint);
    painter->setFont(small);
    painter->drawText(computerLine, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        smallMetrics.elidedText(computer, Qt::ElideRight, computerLine.width()));
    painter->restore();
}

QSize TNearbyPersonDelegate::sizeHint(
    const QStyleOptionViewItem& option, const QModelIndex& /*index*/) const
{
    const int height = QFontMetrics(option.font).height()
        + QFontMetrics(SmallFont(option.font)).height() + Padding + 1;
    return { option.rect.width() > 0 ? option.rect.width() : 200, height };
}

} // namespace quillet
