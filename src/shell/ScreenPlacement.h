#pragma once

class QWidget;

namespace quillet {

// Both place a window by its frame and are meant to run just before the window appears (see
// TWindowPlacer): a position given to a window whose native window does not exist yet, or whose
// frame is known, is taken as the frame's position. Given to a window that is being mapped for
// the first time, it would be taken as the client area's and push the caption off the screen.

// Moves a window so that its frame stands centred on the primary screen.
void CentreOnPrimaryScreen(QWidget& window);

// Gives a window the outer width `outerWidth` (its height stays) and puts it `margin` pixels from
// the top and right edges of the primary screen, as far as the frame's size is known.
void PlaceTopRight(QWidget& window, int outerWidth, int margin);

} // namespace quillet
