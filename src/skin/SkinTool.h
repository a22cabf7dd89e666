#pragma once

#include <iosfwd>
#include <span>
#include <string>

namespace quillet::skin {

// The quillet-skin command line for skin authors: list, extract and pack skin packages.
// `args` are the arguments after the program name. Returns the exit status: 0 on success, 1 when
// a package is not valid or a file cannot be read or written (one line on `err` says why), 2 for
// a wrong command line.
int RunSkinTool(std::span<const std::string> args, std::ostream& out, std::ostream& err);

} // namespace quillet::skin
