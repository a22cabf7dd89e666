#pragma once

#include "nearby/TNearbyPeople.h"

#include <QDialog>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;

namespace quillet {

class TNearbyPeopleModel;
class TNearbyPeopleView;

// The "People Nearby" window: the copies of the program visible on this network, one row each.
// Enter, a double click or Dial dials the selected person; Add to Phonebook hands the person to
// the contact editor. While the list is empty it says why. A line under the list says whether
// others can see this copy, and under which name.
//
// It is not modal: it stays open beside the other windows. Shown, it starts browsing (OnShown);
// closed or hidden by the program, it stops (OnClosed) and forgets the rows.
class TPeopleNearbyForm final : public QDialog {
public:
    explicit TPeopleNearbyForm(TNearbyPeople& people, QWidget* parent = nullptr);
    ~TPeopleNearbyForm() override;

    TNearbyPeopleView* PeopleList;
    QLabel* StatusLabel;
    QPushButton* DialButton;
    QPushButton* AddButton;

    // Visible and in front, with the keyboard in the list.
    void ShowForm();
    // Whether the user chose to be visible (Menu > Visible Nearby), for the line under the list.
    void SetVisibleNearby(bool chosen);
    // The selected person, if any.
    std::optional<TNearbyPerson> SelectedPerson() const;

    void DialButtonClick();
    void AddButtonClick();

    std::function<void(const TNearbyPerson&)> OnDial;
    std::function<void(const TNearbyPerson&)> OnAddToPhonebook;
    std::function<void()> OnShown;
    std::function<void()> OnClosed;

    // The empty list's words for each service state.
    static QString EmptyText(TNearbyServiceState state);
    // The line under the list: whether others see this copy, and, when more people are around
    // than it shows, how many it shows.
    static QString StatusText(
        bool visibleChosen, const std::string& announcedName, bool overflowed, std::size_t shown);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowStatus();
    // Until the user picks a row, the top row is the selected one, also as people arrive; the
    // buttons follow the selection.
    void FollowRows();

    TNearbyPeopleModel* Model;
    bool Browsing = false;
    bool UserPicked = false; // the user moved the selection since the window opened
    bool VisibleChosen = false;
};

} // namespace quillet
