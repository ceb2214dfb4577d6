#pragma once
// The main window as the posting cycle shows its work there: the log box, the detected addresses,
// the tabs with their pages, and the tray's picture and what it says about the last posting. The
// main window implements it; tests use a fake. The cycle only ever tells the window something; it
// never asks it for anything.
//
// Threads: PostToWindowThread from any thread; every other function only on the window's thread,
// from inside a posted function. Held through std::shared_ptr by the cycle and thereby by its
// workers, so it must outlive the window safely: once the window starts to go away,
// PostToWindowThread returns false and runs nothing (UiInvoker::Close).

#include "publish/Publisher.h"

#include <functional>
#include <string>
#include <string_view>

namespace tovra {

class CycleView {
public:
    virtual ~CycleView() = default;

    // Runs fn on the window's thread once it handles its messages, after everything posted before.
    // False, dropping fn, once the window is going away.
    virtual bool PostToWindowThread(std::function<void()> fn) = 0;

    // Appends whole lines (each ending in CR LF) to the log box and scrolls to its end.
    virtual void AppendLogText(std::string_view lines) = 0;

    // The "Detected IP Address" field and the read-only IPv6 address beside it (empty when the
    // machine has none); the window keeps them as the settings' last addresses too.
    virtual void ShowDetectedAddress(std::string_view ipv4, std::string_view ipv6) = 0;

    // Selects the "Details" tab and paints it at once, so the log is on screen during a post.
    virtual void ShowDetailsPage() = 0;

    // Selects the "Connection" tab and puts the focus on the setting a publisher refused.
    virtual void ShowRefusedSetting(RefusedSetting setting) = 0;

    // A check has started (busy) or ended.
    virtual void ShowBusy(bool busy) = 0;

    // Shows text in a message box over the window once the current message has been handled. While
    // one box is asked for or open, a second is not shown. A view without boxes shows nothing.
    virtual void ShowMessageBox(std::string_view) {}

    // What the last posting came to: failed (no address detected, the settings refused, or the
    // upload failed), with a one-line reason and whether a retry follows in a minute; or not, the
    // page on the server being up to date. Never called for a display-only check.
    virtual void ShowPostingResult(bool failed, std::string_view reason, bool retryFollows) = 0;
};

} // namespace tovra
