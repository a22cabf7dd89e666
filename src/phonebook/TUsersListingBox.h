#pragma once

#include "phonebook/TUserRowDelegate.h"
#include "phonebook/TUsersListModel.h"

#include <QListView>

#include <functional>
#include <string>
#include <vector>

namespace quillet {

// The contact list of the main window: one column of names, single selection, rows drawn by the
// program. A model and a view rather than a widget per row, so that a phonebook of 65,535
// contacts costs little to fill and to scroll.
//
// A press on the empty area below the last row leaves the selection as it is, and a double click
// is reported wherever it lands, so that a double click there dials the selected contact.
class TUsersListingBox final : public QListView {
public:
    explicit TUsersListingBox(QWidget* parent = nullptr);

    // Refills the rows and makes `row` the current and selected one (-1: none). A refill is made
    // by the program, so it is not reported through OnSelectionChange.
    void Fill(std::vector<std::string> names, int row);
    int Count() const { return Rows->rowCount(); }
    // The current row, -1 when there is none.
    int ItemIndex() const;
    const std::string& NameAt(int row) const { return Rows->NameAt(row); }

    // The user changed the selection, with the mouse or the keyboard.
    std::function<void()> OnSelectionChange;
    // A double click with the left button anywhere in the list.
    std::function<void()> OnDoubleClick;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // Children of the view, so that they outlive its own destruction.
    TUsersListModel* Rows;
    TUserRowDelegate* RowPainter;
    bool Filling = false;
};

} // namespace quillet
