#pragma once

#include <QStringList>

namespace quillet {

// True when any of the arguments (the program name not included) is the word "show" in any
// ASCII letter case. Only the whole word counts: "-show", "/show" or "shows" do not.
bool HasShowArgument(const QStringList& arguments);

} // namespace quillet
