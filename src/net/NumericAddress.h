#pragma once

#include <string_view>

namespace quillet {

// Address-text shapes that decide the family of a socket before anything is resolved.

// Four dot-separated parts, each made only of decimal digits with a value from 0 to 255.
bool IsNumericIP4(std::string_view text);

// Up to eight colon-separated hexadecimal groups, each at most FFFF, with at most one double
// colon standing for the omitted groups, optionally followed by "%" and a zone name.
bool IsNumericIP6(std::string_view text);

} // namespace quillet
