#pragma once
// Base of the program's hidden windows (the tray icon's): a window class of its
// own and a virtual message handler. The object travels through CreateWindowEx's create
// parameters and is picked up at WM_NCCREATE, so HandleMessage sees every message from then on.
//
// Threads: the window belongs to the thread that created it; every member is for that thread.
//
// Lifetime: the object must outlive its window; the destructor destroys a window still open.
// Virtual calls do not reach a derived class from the base destructor, so a derived class that
// handles WM_DESTROY calls Destroy() in its own destructor.

#include "framework/Window.h"

#include <windows.h>

namespace tovra {

class MessageWindow : public Window {
public:
    enum class Kind {
        // An invisible top-level window: receives broadcasts such as "TaskbarCreated".
        Hidden,
        // A message-only window: no broadcasts, cheapest for private messages.
        MessageOnly,
    };

    MessageWindow() noexcept = default;
    virtual ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    // Registers the window class (once per process; a class already registered by this program is
    // reused) and creates the window. False when this object already has a window or creation
    // fails (GetLastError tells why).
    bool Create(HINSTANCE instance, const char* className, Kind kind = Kind::Hidden, const char* title = "");

    void Destroy() noexcept;

protected:
    // Called for every message from WM_NCCREATE to WM_NCDESTROY. The default is DefWindowProcA.
    // An exception thrown here is caught and the message goes to DefWindowProcA instead.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

} // namespace tovra
