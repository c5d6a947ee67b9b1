#pragma once

#include <cstdint>

// Tells the window that started the viewer that the viewer is closing.
//
// On X11 the window `window` receives a client message of type "WM_VIEWER_CLOSED", format 32,
// carrying 1031, 0, 0. The call returns once the X server has taken the message; it never waits
// for the receiving client. A window id that names no window is ignored. 65535 sends the message
// to every top-level window. When Qt runs on X11 its own connection carries the message;
// otherwise (Wayland with XWayland, offscreen) a connection of its own to $DISPLAY does. Without
// an X11 display this does nothing.
void NotifyParentWindow(std::uint32_t window);

constexpr std::uint32_t WM_VIEWER_CLOSED = 1031;
constexpr std::uint32_t BroadcastWindow = 65535;
