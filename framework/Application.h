#pragma once
// The program's run: the instance handle, handed on explicitly to whoever creates windows, and
// the message loop of the UI thread.
//
// Threads: everything here is for the UI thread, the one that constructs the object.

#include <windows.h>

namespace tovra {

class Dialog;

class Application {
public:
    explicit Application(HINSTANCE instance) noexcept : instance_(instance) {}
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    HINSTANCE Instance() const noexcept { return instance_; }

    // Makes dialog the main window: the message loop ends when its window is destroyed.
    void SetMainWindow(Dialog& dialog) noexcept;

    // Optional: lets this modeless dialog's keyboard interface work (Tab, arrows, mnemonics, Enter
    // and Escape) by offering it each message first. Without it the loop does nothing but get,
    // translate and dispatch. Pass null to turn it off.
    void SetKeyboardDialog(HWND dialog) noexcept { keyboardDialog_ = dialog; }

    // Runs this thread's messages until the quit message and returns the exit code it carries.
    // There is no idle work.
    int RunMessageLoop();

private:
    HINSTANCE instance_;
    HWND keyboardDialog_ = nullptr;
};

} // namespace tovra
