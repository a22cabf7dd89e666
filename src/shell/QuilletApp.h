#pragma once

namespace quillet {

// The program's entry: everything main() does.
int RunQuillet(int argc, char** argv);

} // namespace quillet
