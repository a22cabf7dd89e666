#pragma once

class QWidget;

namespace quillet {

// Shows `window` (restored if minimised) and raises it without taking the keyboard focus from
// the window the user works in: window managers honouring the request neither focus it nor put
// it in front of the active window.
void ShowWithoutActivating(QWidget& window);

} // namespace quillet
