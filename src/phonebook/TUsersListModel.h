#pragma once

#include <QAbstractListModel>

#include <string>
#include <vector>

namespace quillet {

// The rows of the contact list: one name per row, as the phonebook held them at the last refill.
// The rows are a copy, so that the list shows the phonebook of its last refill even while the
// phonebook is being changed.
class TUsersListModel final : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;

    void Refill(std::vector<std::string> names);
    // The name of a row, as its UTF-8 bytes.
    const std::string& NameAt(int row) const { return Names.at(static_cast<std::size_t>(row)); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::vector<std::string> Names;
};

} // namespace quillet
