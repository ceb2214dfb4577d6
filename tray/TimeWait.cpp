#include "tray/TimeWait.h"

#include "detection/AddressChangeWatch.h"

#include <algorithm>
#include <system_error>

namespace tovra {
namespace {

constexpr ULONGLONG kMinuteMs = 60 * 1000;

} // namespace

CTimeWait::CTimeWait(EarlyCheckDelays delays)
    : delays_(delays), wake_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
    if (!wake_)
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "CreateEvent");
}

bool CTimeWait::SetInterval(unsigned minutes) {
    if (minutes == 0)
        return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        intervalMinutes_ = minutes;
        if (started_) {
            // The minute under way still counts towards the new interval, as it would have towards
            // the old one.
            const ULONGLONG now = Now();
            const ULONGLONG minuteStart = now - (now - minuteOrigin_) % kMinuteMs;
            nextTick_ = minuteStart + minutes * kMinuteMs;
        }
    }
    ::SetEvent(wake_.get());
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

DWORD CTimeWait::DelayOf(CheckReason reason) const {
    switch (reason) {
    case CheckReason::ResumedFromSleep:
        return delays_.afterResumeMs;
    case CheckReason::NetworkChanged:
        return delays_.afterNetworkChangeMs;
    case CheckReason::Retry:
    case CheckReason::Interval:
        break;
    }
    return delays_.retryMs;
}

void CTimeWait::ScheduleCheck(CheckReason reason) {
    if (reason == CheckReason::Interval)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const ULONGLONG at = Now() + DelayOf(reason);
        if (!earlyPending_ || at < earlyAt_) {
            earlyPending_ = true;
            earlyAt_ = at;
            earlyReason_ = reason;
        }
    }
    ::SetEvent(wake_.get());
}

ULONGLONG CTimeWait::Now() const {
    // Unbiased: without the time spent asleep, as Windows 8 and later count the waits' time-outs.
    // On Windows 7, whose waits do count it, a wait that ends early is simply waited again.
    ULONGLONG hundredNs = 0;
    ::QueryUnbiasedInterruptTime(&hundredNs);
    return hundredNs / 10000;
}

CTimeWait::Wake CTimeWait::WaitUntil(ULONGLONG deadline) {
    const ULONGLONG now = Now();
    DWORD timeout = INFINITE;
    if (deadline != kNoDeadline)
        timeout = deadline <= now ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, INFINITE - 1));
    const HANDLE handles[] = {StopEvent(), wake_.get(), addressChange_};
    const DWORD count = addressChange_ != nullptr ? 3 : 2;
    switch (::WaitForMultipleObjects(count, handles, FALSE, timeout)) {
    case WAIT_OBJECT_0:
        return Wake::Stop;
    case WAIT_OBJECT_0 + 2:
        return Wake::AddressChange;
    default:
        return Wake::Recheck;
    }
}

ULONGLONG CTimeWait::NextTick() {
    std::lock_guard<std::mutex> lock(mutex_);
    // Without an interval there is nothing to pace; ticking at once would flood the window.
    const ULONGLONG regular = intervalMinutes_ != 0 ? nextTick_ : kNoDeadline;
    return earlyPending_ ? std::min(regular, earlyAt_) : regular;
}

void CTimeWait::Run() {
    AddressChangeWatch watch;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        addressChange_ = watch.Event();
        minuteOrigin_ = Now();
        nextTick_ = minuteOrigin_ + intervalMinutes_ * kMinuteMs;
        started_ = true;
    }
    for (;;) {
        switch (WaitUntil(NextTick())) {
        case Wake::Stop:
            return;
        case Wake::AddressChange:
            watch.Rearm();
            ScheduleCheck(CheckReason::NetworkChanged);
            continue;
        case Wake::Recheck:
            break;
        }

        // The wait may have ended for a wake-up that moved the plan: send only what is due now.
        HWND target = nullptr;
        UINT message = 0;
        WPARAM reason = 0;
        LPARAM minutes = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const ULONGLONG now = Now();
            if (earlyPending_ && earlyAt_ <= now) {
                earlyPending_ = false;
                reason = static_cast<WPARAM>(earlyReason_);
            } else if (intervalMinutes_ != 0 && nextTick_ <= now) {
                minutes = intervalMinutes_;
                // A tick that came late (the window was slow to answer the last one) does not
                // bring a burst of catching-up ticks.
                do
                    nextTick_ += intervalMinutes_ * kMinuteMs;
                while (nextTick_ <= now);
            } else {
                continue;
            }
            target = targetWindow_;
            message = tickMessage_;
        }
        if (StopRequested())
            return;
        if (target != nullptr)
            ::SendMessageA(target, message, reason, minutes);
    }
}

} // namespace tovra
