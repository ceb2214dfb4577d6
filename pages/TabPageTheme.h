#pragma once
// The themed tab-page background for dialogs shown inside a tab control.

#include <windows.h>

namespace tovra {

// Gives the page the visual style's tab-page texture where the platform has one. uxtheme.dll is
// loaded at run time and let go again: the program still runs where it is missing, and then the
// page keeps the plain dialog background and the result is false.
bool EnableTabPageTheme(HWND page);

} // namespace tovra
