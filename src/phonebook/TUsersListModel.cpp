#include "phonebook/TUsersListModel.h"

namespace quillet {

void TUsersListModel::Refill(std::vector<std::string> names)
{
    beginResetModel();
    Names = std::move(names);
    endResetModel();
}

int TUsersListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(Names.size());
}

QVariant TUsersListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount())
        return {};
    return QString::fromStdString(NameAt(index.row()));
}

} // namespace quillet
