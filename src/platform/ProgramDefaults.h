#pragma once

#include <string_view>

namespace quillet {

// Values that the settings, the phonebook, the listener and the greeting agree on.

// The own name when none is stored (and the greeting's name when the stored one holds no
// character the wire can carry).
inline constexpr std::string_view DefaultUserName = "John Doe";

// The port every copy answers calls on and that contacts are called at unless they say otherwise.
inline constexpr int ProgramPort = 2323;
inline constexpr std::string_view ProgramPortText = "2323";

} // namespace quillet
