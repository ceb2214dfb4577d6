#pragma once
// The display scale a window is drawn at. Under per-monitor awareness (Windows 10 and later) each
// monitor has its own, and a window takes its monitor's; elsewhere every window has the system's,
// fixed at log-on. The Windows 10 functions are looked up at run time, so the program still
// starts where they are missing.

#include <windows.h>

namespace tovra {

constexpr UINT kBaseDpi = 96; // 100 percent

// WM_DPICHANGED, sent to a per-monitor aware window that has moved to a monitor of another
// scale; the headers name it only for targets newer than ours.
constexpr UINT kDpiChangedMessage = 0x02E0;

// The DPI of the window's monitor (or the system's, where windows have no DPI of their own).
UINT WindowDpi(HWND window) noexcept;

// A system metric (SM_CXSMICON, ...) as it is at that DPI.
int SystemMetricForDpi(int index, UINT dpi) noexcept;

// A length given at 96 DPI, at that DPI.
inline int ScaleForDpi(int length, UINT dpi) noexcept {
    return ::MulDiv(length, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}

} // namespace tovra
