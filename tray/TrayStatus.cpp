#include "tray/TrayStatus.h"

#include "resources/ResourceIds.h"
#include "tray/TrayIcon.h"

#include <utility>

namespace tovra {

CTrayStatus::CTrayStatus(CTrayIcon& icon) : icon_(icon), tip_(icon.Tip()) {}

void CTrayStatus::SetBusy(bool busy) {
    busy_ = busy;
    ShowPicture();
}

void CTrayStatus::ShowPostingResult(bool failed, std::string_view reason, bool retryFollows) {
    failing_ = failed;
    if (failed) {
        const std::string why =
            reason.empty() ? std::string("The IP address could not be posted.") : std::string(reason);
        icon_.SetTip((tip_ + ": " + why).c_str());
        // Once a series: a balloon every five minutes for the same broken server would be noise,
        // and the picture and the tip stay until the posting works again.
        if (!retryFollows && !std::exchange(balloonShown_, true))
            icon_.ShowBalloon("The IP address was not posted", why.c_str(), NIIF_WARNING);
    } else {
        balloonShown_ = false;
        icon_.SetTip(tip_.c_str());
    }
    ShowPicture();
}

void CTrayStatus::ShowPicture() {
    icon_.SetIconById(busy_ ? IDI_TRAY_BUSY : failing_ ? IDI_TRAY_ATTENTION : IDI_TRAY_NORMAL);
}

} // namespace tovra
