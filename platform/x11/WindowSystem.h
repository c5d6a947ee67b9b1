#pragma once

// Whether the application's windows are X11 windows, whose ids name one window on the whole
// display. Elsewhere (offscreen, Wayland) a window id is only this process's own.
bool windowIdsAreGlobal();
