#pragma once

#include <QIcon>

namespace quillet {

// The program's icon, shown by the tray icon and every window: a blue speech bubble with three
// dots, the sign of someone typing. Asked of the icon theme by the desktop identity's name, so
// that an installed icon (or a theme's own version of it) is used; the built-in one otherwise.
// Nothing is read until the icon is first drawn or asked about; hand one icon around (the
// application's window icon) rather than making more, so that it is built once.
QIcon QuilletIcon();

} // namespace quillet
