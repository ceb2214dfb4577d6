#include "framework/WindowPlacement.h"

#include <algorithm>

namespace tovra {

void CenterWindow(HWND window, HWND reference) {
    RECT own{};
    if (!::GetWindowRect(window, &own))
        return;
    const bool overReference = reference != nullptr && ::IsWindowVisible(reference) && !::IsIconic(reference);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!::GetMonitorInfoA(::MonitorFromWindow(overReference ? reference : window, MONITOR_DEFAULTTONEAREST),
                           &monitor))
        return;
    const RECT& area = monitor.rcWork;
    RECT target = area;
    if (overReference)
        ::GetWindowRect(reference, &target);

    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    int x = target.left + (target.right - target.left - width) / 2;
    int y = target.top + (target.bottom - target.top - height) / 2;
    // Inside the work area; a window larger than it keeps its top-left corner visible.
    x = std::max(static_cast<int>(area.left), std::min(x, static_cast<int>(area.right) - width));
    y = std::max(static_cast<int>(area.top), std::min(y, static_cast<int>(area.bottom) - height));
    ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace tovra
