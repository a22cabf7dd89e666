#pragma once

class QWidget;

namespace quillet {

// The window system's attention request for a window (a flashing taskbar entry, an urgent
// window): asked for `durationMs` milliseconds, or until the window is activated or the request
// is stopped. Nothing happens on platforms without such a request (Wayland, offscreen).
void RequestWindowAttention(QWidget* window, int durationMs);
void StopWindowAttention(QWidget* window);

} // namespace quillet
