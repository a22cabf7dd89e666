#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Names that cross the local network, in both directions. Both results are valid UTF-8 without
// control characters, so a name can be shown, stored and announced as it is.
namespace quillet::nearby {

// The longest instance name the protocol carries, in bytes (one DNS label).
inline constexpr std::size_t MaxInstanceNameBytes = 63;
// The longest name shown for a person nearby, in bytes. A daemon keeps names to one label, but
// what it passes on is not ours to trust.
inline constexpr std::size_t MaxShownNameBytes = 255;

// A name someone announced, as the list shows it: text::VisibleName (no control or invisible
// characters, which could disguise one name as another or break the row; blanks as one blank;
// invalid UTF-8 as U+FFFD), cut to MaxShownNameBytes. May be empty.
std::string ShownName(std::string_view announced);

// The instance name this copy announces for the own name: the same cleaning, except that
// invalid bytes are dropped, cut to MaxInstanceNameBytes; the default own name when nothing is
// left.
std::string InstanceNameFor(std::string_view ownName);

} // namespace quillet::nearby
