#pragma once

#include <QRect>
#include <QSize>

namespace quillet {

// Where the main window's list, labels and Dial button go for a given client size.
struct TMainFormLayout {
    QRect UsersListingBox;
    int LabelsTop = 0; // the common top of the Add, Edit and Delete labels
    QRect DialButton;

    bool operator==(const TMainFormLayout&) const = default;
};

// The list keeps 5 pixels on both sides and ends 50 pixels above the bottom of the client area;
// the labels stand 2 pixels under it; the Dial button keeps 5 pixels from the bottom right
// corner. A client area smaller than these margins gives an empty list, not a negative one, and
// keeps the button inside the window.
TMainFormLayout FormResizeLayout(QSize client);

// The smallest client area in which the list shows `listHeight` pixels, the labels (ending at
// `labelsRight`) and the Dial button keep their margins and `menuWidth` leaves the menu bar's
// menu unfolded.
QSize FormMinimumClientSize(int labelsRight, int listHeight, int menuWidth);

} // namespace quillet
