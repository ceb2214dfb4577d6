#pragma once
// The main window's controls as the posting cycle sees them: the log box, the detected address
// field, the "Web" radio button, the tabs with their pages, the Advanced page's site list, and the
// tray's picture and what it says about the last posting. The main window implements it; tests use a fake.
//
// Threads: RunOnWindowThread may be called from any thread; every other function only on the
// window's thread, from inside RunOnWindowThread. Held through std::shared_ptr by the cycle and
// thereby by its workers, so it must outlive the window safely: once the window starts to go
// away, RunOnWindowThread returns false and runs nothing (UiInvoker::Close).

#include "publish/Publisher.h"

#include <functional>
#include <string>
#include <string_view>

namespace tovra {

class CycleView {
public:
    virtual ~CycleView() = default;

    // Runs fn on the window's thread and returns once it has run (at once when called there).
    // False, without running fn, once the window is going away.
    virtual bool RunOnWindowThread(const std::function<void()>& fn) = 0;

    // Appends whole lines (each ending in CR LF) to the log box and scrolls to its end.
    virtual void AppendLogText(std::string_view lines) = 0;

    // The "Detected IP Address" field: what it shows now, and a new text for it.
    virtual std::string DetectedAddress() = 0;
    virtual void ShowDetectedAddress(std::string_view address) = 0;
    // The read-only IPv6 address beside it; a view without one remembers nothing.
    virtual std::string DetectedIpv6Address() { return {}; }
    virtual void ShowDetectedIpv6Address(std::string_view) {}

    // True when the Local page's "Web" radio button is ticked.
    virtual bool WebDetectionChosen() = 0;

    // Selects the "Details" tab and paints it at once, so the log is on screen before a post.
    virtual void ShowDetailsPage() = 0;

    // Selects the "Connection" tab and puts the focus on the setting a publisher refused.
    virtual void ShowRefusedSetting(RefusedSetting setting) = 0;

    // The tray picture (icon resource number).
    virtual void SetTrayIcon(int iconId) = 0;

    // Shows text in a message box over the window once the asking call has returned, so that no
    // worker waits for the user. While one box is asked for or open, a second is not shown. A view
    // without boxes shows nothing.
    virtual void ShowMessageBox(std::string_view) {}

    // What the last posting came to: failed (no address detected, the settings refused, or the
    // upload failed), with a one-line reason; or not, the page on the server being up to date.
    // Never called for a display-only check.
    virtual void ShowPostingResult(bool failed, std::string_view reason) = 0;
};

} // namespace tovra
