#include "framework/DisplayScale.h"

namespace tovra {
namespace {

template <typename Function> Function FromUser32(const char* name) noexcept {
    const HMODULE user32 = ::GetModuleHandleA("user32.dll");
    const FARPROC found = user32 ? ::GetProcAddress(user32, name) : nullptr;
    // The detour through void(*)() keeps the function-type cast explicit.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

UINT SystemDpi() noexcept {
    const HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

} // namespace

UINT WindowDpi(HWND window) noexcept {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = FromUser32<GetDpiForWindowFunction>("GetDpiForWindow");
    if (getDpiForWindow && window)
        if (const UINT dpi = getDpiForWindow(window))
            return dpi;
    return SystemDpi();
}

int SystemMetricForDpi(int index, UINT dpi) noexcept {
    using GetSystemMetricsForDpiFunction = int(WINAPI*)(int, UINT);
    static const auto forDpi = FromUser32<GetSystemMetricsForDpiFunction>("GetSystemMetricsForDpi");
    if (forDpi)
        return forDpi(index, dpi);
    return ::MulDiv(::GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

} // namespace tovra
