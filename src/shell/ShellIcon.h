#pragma once

#include <QIcon>

namespace quillet {

// The program's icon: a blue speech bubble with three dots, the sign of someone typing. Drawn
// at start-up in the sizes trays and window lists ask for.
QIcon QuilletIcon();

} // namespace quillet
