#include "phonebook/TUsersListingBox.h"

#include <QMouseEvent>

namespace quillet {

TUsersListingBox::TUsersListingBox(QWidget* parent)
    : QListView(parent)
    , Rows(new TUsersListModel(this))
    , RowPainter(new TUserRowDelegate(this))
{
    setModel(Rows);
    setItemDelegate(RowPainter);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QObject::connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this](const QModelIndex&, const QModelIndex&) {
            if (!Filling && OnSelectionChange)
                OnSelectionChange();
        });
}

void TUsersListingBox::Fill(std::vector<std::string> names, int row)
{
    Filling = true;
    Rows->Refill(std::move(names));
    if (row >= 0 && row < Rows->rowCount()) {
        const QModelIndex index = Rows->index(row);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        scrollTo(index);
    }
    Filling = false;
}

int TUsersListingBox::ItemIndex() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TUsersListingBox::mousePressEvent(QMouseEvent* event)
{
    if (!indexAt(event->position().toPoint()).isValid()) {
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    QListView::mousePressEvent(event);
}

void TUsersListingBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    QListView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && OnDoubleClick)
        OnDoubleClick();
}

} // namespace quillet
