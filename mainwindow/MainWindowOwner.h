#pragma once
// What the main window hands on to whoever owns it and the workers: the user's and the system's
// commands, and each settings snapshot as the window loads or saves it. The window itself starts,
// stops and asks nothing of the workers.
//
// Threads: every call comes on the window thread and returns without waiting for the network.

#include "detection/CheckReason.h"
#include "settings/Settings.h"

#include <windows.h>

#include <memory>

namespace tovra {

class MainWindowOwner {
public:
    // "&Post IP now" on the window: post the address held, after any check under way.
    virtual void PostNow() = 0;
    // The tray's "Post IP now": a check that may post, in the detection mode last chosen.
    virtual void CheckAndPost() = 0;
    // The Details page's "Local" and "Web" buttons: a check that only shows its address.
    virtual void CheckAddressOnly(bool useWeb) = 0;
    // The interval timer's tick (wParam, a CheckReason); returns the message's result.
    virtual LRESULT HandleIntervalTick(WPARAM reason) = 0;
    // An early check, such as a while after the machine resumed.
    virtual void ScheduleCheck(CheckReason reason) = 0;
    // The settings as the window just loaded (loaded: with the stored addresses) or saved them.
    virtual void UseSettings(std::shared_ptr<const Settings> settings, bool loaded) = 0;

    // The tray's Exit: the workers stop, then the window is destroyed.
    virtual void Exit() = 0;
    // Windows ends the process once WM_ENDSESSION returns: everything that would go at Exit goes now.
    virtual void EndSession() noexcept = 0;
    // The window is being destroyed some other way than Exit.
    virtual void MainWindowDestroyed() noexcept = 0;

protected:
    ~MainWindowOwner() = default;
};

} // namespace tovra
