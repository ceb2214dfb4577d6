#pragma once
// An icon of the tests' own in the notification area, kept while tovra.exe (or a test's main
// window) starts and ends. Wine's explorer hides its tray window when the last icon goes, and on
// an X server without a window manager (Xvfb) it then waits 2 s for the window to be withdrawn
// before the removing call returns and before the next program's Shell_NotifyIcon is answered.
// With this icon in the tray, tovra's own icon is never the last, and what the tests and the
// benchmark time is the program, not that wait. The icon is a plain grey square, a colour no
// picture of the program uses.

#include "framework/Win32Handles.h"

#include <windows.h>

namespace tovra::test {

class TrayAnchor {
public:
    // Adds the icon; Added() says whether the shell took it.
    explicit TrayAnchor(const char* tip);
    ~TrayAnchor();
    TrayAnchor(const TrayAnchor&) = delete;
    TrayAnchor& operator=(const TrayAnchor&) = delete;

    bool Added() const noexcept { return added_; }

private:
    UniqueWindow window_;
    UniqueIcon picture_;
    bool added_ = false;
};

// The anchor that lives across test programs (tray_anchor.exe): its names, so that the program
// and the tests agree on them. The program sets the ready event once its icon is in the tray and
// ends when the stop event is set.
inline constexpr char kTrayAnchorReadyEvent[] = "Tovra-tests-tray-anchor-ready";
inline constexpr char kTrayAnchorStopEvent[] = "Tovra-tests-tray-anchor-stop";

} // namespace tovra::test
