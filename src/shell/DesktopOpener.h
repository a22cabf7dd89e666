#pragma once

#include <functional>

class QProcess;
class QUrl;

namespace quillet {

// Opens `url` with the program the desktop has set up for its kind, without waiting for that
// program. When there is none (the desktop's opener is missing, or it finds no program for the
// file) `noProgram` runs, later, on the main thread. How the program fares once it runs is its
// own affair: a viewer that opens the file and later fails is not reported.
//
// Returns the opener's process while it runs, for a caller that wants to watch it (it deletes
// itself once it has finished); nullptr when the toolkit's own opener was used. An opener still
// running when the program ends is left to run: on some desktops it waits for the viewer the
// user is reading in.
QProcess* OpenWithDesktop(const QUrl& url, const std::function<void()>& noProgram);

} // namespace quillet
