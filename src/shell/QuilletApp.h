#pragma once

namespace quillet {

// The program's entry: everything main() does.
//
// One copy runs per user. A second start only asks the running copy to show its main window,
// waits briefly for the answer and returns 0, touching no file. The first copy creates its
// windows (hidden), makes sure an own name is stored, shows the main window on the first start,
// with "show" on the command line or without a system tray, and runs the event loop. When the
// loop ends it runs the main window's shutdown steps, waits up to 2 s for worker threads, and
// destroys the windows, which takes the tray icon away.
int RunQuillet(int argc, char** argv);

} // namespace quillet
