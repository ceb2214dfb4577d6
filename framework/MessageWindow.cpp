#include "framework/MessageWindow.h"

namespace tovra {

MessageWindow::~MessageWindow() {
    Destroy();
}

bool MessageWindow::Create(HINSTANCE instance, const char* className, Kind kind, const char* title) {
    if (Handle()) {
        ::SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &MessageWindow::WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    if (!::RegisterClassExA(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;
    const HWND parent = kind == Kind::MessageOnly ? HWND_MESSAGE : nullptr;
    // The handle is taken at WM_NCCREATE, so HandleMessage can use it from the first message on.
    return ::CreateWindowExA(0, className, title, WS_OVERLAPPED, 0, 0, 0, 0, parent, nullptr, instance,
                             this) != nullptr;
}

void MessageWindow::Destroy() noexcept {
    if (Handle())
        ::DestroyWindow(Handle());
}

LRESULT MessageWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcA(Handle(), message, wParam, lParam);
}

LRESULT CALLBACK MessageWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<MessageWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        // Only the first one, from our own CreateWindowEx, carries the object; a later one comes
        // from someone else, with a creation parameter of theirs.
        if (self)
            return FALSE;
        self = static_cast<MessageWindow*>(reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->Attach(window);
    }
    // Messages before WM_NCCREATE (WM_GETMINMAXINFO) have no object yet.
    if (!self)
        return ::DefWindowProcA(window, message, wParam, lParam);

    LRESULT result;
    try {
        result = self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        // An exception must not unwind through the system's code; the default handling stands in.
        result = ::DefWindowProcA(window, message, wParam, lParam);
    }

    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->Attach(nullptr);
    }
    return result;
}

} // namespace tovra
