#include "tray/TimeWait.h"

namespace tovra {

bool CTimeWait::SetInterval(unsigned minutes) {
    if (minutes == 0)
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    intervalMinutes_ = minutes;
    minutesElapsed_ = 0;
    return true;
}

bool CTimeWait::SetTarget(HWND window, UINT message) {
    if (window == nullptr || message == 0)
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    targetWindow_ = window;
    tickMessage_ = message;
    return true;
}

bool CTimeWait::SleepOneSecond() {
    return !WaitForStop(1000);
}

void CTimeWait::Run() {
    while (SleepOneSecond()) {
        HWND target = nullptr;
        UINT message = 0;
        unsigned minutes = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (++secondsElapsed_ >= 60) {
                ++minutesElapsed_;
                secondsElapsed_ -= 60;
            }
            // Without an interval there is nothing to pace; ticking every second would flood the
            // window with checks.
            if (intervalMinutes_ == 0 || minutesElapsed_ < intervalMinutes_)
                continue;
            minutes = minutesElapsed_;
            target = targetWindow_;
            message = tickMessage_;
        }
        if (StopRequested())
            break;
        if (target != nullptr)
            ::SendMessageA(target, message, 0, static_cast<LPARAM>(minutes));
        std::lock_guard<std::mutex> lock(mutex_);
        minutesElapsed_ = 0;
    }
}

} // namespace tovra
