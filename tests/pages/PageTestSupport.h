#pragma once
// What the page and main-window tests share: a top-level window to host a page, and a driver
// that works a modal dialog from a second thread while the UI thread sits in that dialog's loop.

#include "framework/Win32Handles.h"

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace tovra::test {

// The controls the pages use beyond the standard ones (the IP address field). Idempotent.
inline void RegisterCommonControls() {
    INITCOMMONCONTROLSEX classes{sizeof classes,
                                 ICC_INTERNET_CLASSES | ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&classes);
}

// A plain top-level window that stands in for the main window as a page's parent.
inline UniqueWindow MakeHostWindow() {
    return UniqueWindow(::CreateWindowExA(0, "STATIC", "Host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                                          640, 480, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr));
}

struct WindowSearch {
    const std::string* caption;
    HWND found;
};

inline BOOL CALLBACK MatchCaption(HWND window, LPARAM parameter) {
    auto& search = *reinterpret_cast<WindowSearch*>(parameter);
    char text[256] = {};
    ::GetWindowTextA(window, text, sizeof text);
    if (::IsWindowVisible(window) && *search.caption == text) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

// The visible top-level window of that thread whose caption is exactly caption; null if none.
inline HWND FindThreadWindow(DWORD threadId, const std::string& caption) {
    WindowSearch search{&caption, nullptr};
    ::EnumThreadWindows(threadId, &MatchCaption, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Waits on its own thread for a modal dialog with the given caption to appear on the calling
// (UI) thread, then runs action with the dialog's handle. The action reaches the dialog with
// SendMessage and PostMessage, which the dialog's modal loop serves. If no such dialog shows up
// in time, nothing is done and Found() stays false.
class ModalDriver {
public:
    ModalDriver(std::string caption, std::function<void(HWND)> action, DWORD timeoutMs = 10000)
        : uiThread_(::GetCurrentThreadId()),
          thread_([this, caption = std::move(caption), action = std::move(action), timeoutMs] {
              const DWORD start = ::GetTickCount();
              while (::GetTickCount() - start < timeoutMs) {
                  if (const HWND dialog = FindThreadWindow(uiThread_, caption)) {
                      found_ = true;
                      action(dialog);
                      return;
                  }
                  ::Sleep(10); // polling for a window that another thread opens; bounded by the deadline
              }
          }) {}
    ~ModalDriver() {
        if (thread_.joinable())
            thread_.join();
    }
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    bool Found() {
        if (thread_.joinable())
            thread_.join();
        return found_;
    }

private:
    const DWORD uiThread_;
    std::atomic<bool> found_{false};
    std::thread thread_;
};

// The text of a control, read from any thread.
inline std::string ControlText(HWND control) {
    char text[1024] = {};
    ::GetWindowTextA(control, text, sizeof text);
    return text;
}

} // namespace tovra::test
