#pragma once
// Where a top-level window first appears. Dialog templates without DS_CENTER open at the screen's
// top-left corner, far from whatever the user was looking at.

#include <windows.h>

namespace tovra {

// Centres window over reference, or over the work area of the monitor nearest to the window when
// reference is null or hidden, and keeps it inside that work area.
void CenterWindow(HWND window, HWND reference);

} // namespace tovra
