#pragma once

class QWidget;

namespace quillet {

// Shows `window` and raises it without taking the keyboard focus from the window the user works
// in: window managers honouring the request neither focus it nor put it in front of the active
// window. A window the user minimised stays minimised: window managers give the keyboard to a
// window restored from the taskbar whoever restores it (seen with openbox: a caller restored the
// minimised chat window with the focus, and what the user typed elsewhere went to a
// conversation). The caller asks for attention instead.
void ShowWithoutActivating(QWidget& window);

} // namespace quillet
