#pragma once

#include "nearby/NearbyPeopleObserver.h"
#include "nearby/TNearbyPeople.h"

#include <QAbstractListModel>

#include <functional>

namespace quillet {

// The People Nearby rows as an item model: one row per person, the name as the text, the
// computer's name and address as a second line and in the tool tip. A row that is not the
// contact its name reads like says so first, on the second line, in the tool tip and to screen
// readers.
class TNearbyPeopleModel final : public QAbstractListModel, private INearbyPeopleObserver {
public:
    enum TRole {
        // "annsbox · 169.254.23.1" (the port too when it is not the usual one).
        ComputerRole = Qt::UserRole + 1,
        // "Not your contact Jane Doe" for a name that reads like a contact's at another address
        // (TNearbyStanding::NotContact); empty otherwise.
        WarningRole,
    };

    static QString WarningText(const TNearbyPerson& person);

    explicit TNearbyPeopleModel(TNearbyPeople& people, QObject* parent = nullptr);
    ~TNearbyPeopleModel() override;
    TNearbyPeopleModel(const TNearbyPeopleModel&) = delete;
    TNearbyPeopleModel& operator=(const TNearbyPeopleModel&) = delete;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    TNearbyPeople& People() { return Rows; }

    // The service state, the own announcement or the overflow changed.
    std::function<void()> OnStatusChanged;

private:
    void BeforeInsert(std::size_t row) override;
    void AfterInsert() override;
    void BeforeRemove(std::size_t row) override;
    void AfterRemove() override;
    void BeforeReset() override;
    void AfterReset() override;
    void RowChanged(std::size_t row) override;
    void StatusChanged() override;

    TNearbyPeople& Rows;
};

} // namespace quillet
