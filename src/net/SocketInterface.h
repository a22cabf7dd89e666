#pragma once

namespace quillet {

// The text shown when the system's socket interface cannot be made available at start-up.
inline constexpr const char* SocketInterfaceLoadError
    = "Error loading Socket interface (ws2_32.dll)!";

// Process-wide start-up and release of the socket interface, reference counted under one
// process-wide lock: the program starts it once during initialisation, before any window exists.
// On Linux the BSD socket functions are part of the C library and need no loading, so start-up
// cannot fail there; the text above stays the text of that failure for platforms where it can.
void StartSocketInterface();
void ReleaseSocketInterface();

// Start-ups not yet released.
int SocketInterfaceUsers();

} // namespace quillet
