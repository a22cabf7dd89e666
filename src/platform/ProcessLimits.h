#pragma once

namespace quillet {

// Raises this process's limit of open files to the hard limit the system allows. Returns the
// limit now in force.
long RaiseOpenFileLimit();

} // namespace quillet
