#pragma once
// What the tray icon says about the posting, so that a failure is seen without opening the
// window. While a check runs the icon shows the busy picture. While the last posting failed it
// shows the attention picture, and its tip says what failed; the first failure of a series that
// no retry follows also shows a balloon with the reason. The next posting that leaves the page on the server
// current restores the normal picture and tip.
//
// Threads: the window thread, like the icon.

#include <string>
#include <string_view>

namespace tovra {

class CTrayIcon;

class CTrayStatus {
public:
    // The icon's tip at this moment is the one it returns to.
    explicit CTrayStatus(CTrayIcon& icon);

    // A check has started or ended.
    void SetBusy(bool busy);
    // reason: one line, shown in the tip and the balloon of a failure. retryFollows: the check is
    // tried again in a minute, so the balloon waits for that one (at log-on and after a wake the
    // network is often not up yet for the first check).
    void ShowPostingResult(bool failed, std::string_view reason, bool retryFollows = false);

    bool Failing() const noexcept { return failing_; }

private:
    void ShowPicture();

    CTrayIcon& icon_;
    const std::string tip_;
    bool busy_ = false;
    bool failing_ = false;
    bool balloonShown_ = false; // for the series of failures under way
};

} // namespace tovra
