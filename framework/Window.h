#pragma once
// A window handle with the few operations every window offers. It does not own the window: the
// dialog, the control's parent or the system does.

#include <windows.h>

#include <string>
#include <string_view>

namespace tovra {

class Window {
public:
    Window() noexcept = default;
    Window(HWND handle) noexcept : handle_(handle) {}

    HWND Handle() const noexcept { return handle_; }
    operator HWND() const noexcept { return handle_; }
    bool IsWindow() const noexcept { return handle_ != nullptr && ::IsWindow(handle_) != FALSE; }

    LRESULT SendMsg(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const noexcept {
        return ::SendMessageA(handle_, message, wParam, lParam);
    }
    bool PostMsg(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const noexcept {
        return ::PostMessageA(handle_, message, wParam, lParam) != FALSE;
    }

    void Show(int command = SW_SHOW) const noexcept { ::ShowWindow(handle_, command); }
    void Hide() const noexcept { ::ShowWindow(handle_, SW_HIDE); }
    bool IsVisible() const noexcept { return ::IsWindowVisible(handle_) != FALSE; }
    bool IsEnabled() const noexcept { return ::IsWindowEnabled(handle_) != FALSE; }

    // The window's text; empty when the window has none or is not a window.
    std::string Text() const;
    bool SetText(const std::string& text) const noexcept;

protected:
    void Attach(HWND handle) noexcept { handle_ = handle; }

private:
    HWND handle_ = nullptr;
};

} // namespace tovra
