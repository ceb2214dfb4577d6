#pragma once
// Paces the automatic posting. Each time the set number of whole minutes has passed it sends the
// tick message to the target window (wParam CheckReason::Interval, lParam the minutes counted),
// synchronously, so the tick is handled on the window's own thread. Minutes are time the machine
// was awake, as the waits themselves count it.
// Besides the regular ticks it sends early ones, with the reason as wParam and lParam 0: a while
// after the machine resumes from sleep (ScheduleCheck, from the window that receives the power
// message), after the machine's addresses change (watched here) and after a failed check. The
// delays let the network settle first. Early ticks coalesce: while one is pending, a further
// request only brings it forward, taking over its reason, so a burst of changes makes one check.
// Early ticks leave the regular ones where they were.
//
// The thread waits once per tick (or early tick), and wakes otherwise only for a stop, a changed
// interval, a scheduled check or an address change.
//
// Threads: SetInterval, SetTarget and ScheduleCheck may be called from any thread at any time;
// what they share with the timer thread is guarded by a mutex that is never held while a tick is
// sent. Stop (WorkerThread) must be called on the target window's thread: its join handles a tick
// sent meanwhile, and once it has returned true no tick comes any more.
// Owned through std::shared_ptr (WorkerThread).

#include "detection/CheckReason.h"
#include "framework/Win32Handles.h"
#include "framework/WorkerThread.h"

#include <windows.h>

#include <mutex>

namespace tovra {

// How long after each kind of event an early check runs.
struct EarlyCheckDelays {
    DWORD afterResumeMs = 15000;        // Windows brings the network back a few seconds after waking
    DWORD afterNetworkChangeMs = 15000; // an adapter coming up changes its addresses several times
    DWORD retryMs = 60000;              // a network that was not up yet at log-on usually is by then
};

class CTimeWait : public WorkerThread {
public:
    explicit CTimeWait(EarlyCheckDelays delays = {});

    // 0 is refused (false, nothing changed). Otherwise the minute count starts again from 0; the
    // seconds of the current minute carry on.
    bool SetInterval(unsigned minutes);

    // False, storing nothing, when either is zero.
    bool SetTarget(HWND window, UINT message);

    // Asks for an early tick with this reason after the reason's delay. Interval is ignored.
    void ScheduleCheck(CheckReason reason);

protected:
    void Run() override;

    enum class Wake { Stop, Recheck, AddressChange };
    static constexpr ULONGLONG kNoDeadline = ~0ULL;

    // Milliseconds of time the machine was awake, from an arbitrary start. Tests replace this and
    // WaitUntil to run hours in a moment.
    virtual ULONGLONG Now() const;
    // Waits until Now() reaches deadline (kNoDeadline: none), for the stop, or for a wake-up: a
    // changed interval or a scheduled check (both set the wake event), or an address change.
    virtual Wake WaitUntil(ULONGLONG deadline);

private:
    // When the next tick (regular or early) is due; kNoDeadline when none is planned.
    ULONGLONG NextTick();
    DWORD DelayOf(CheckReason reason) const;

    const EarlyCheckDelays delays_;
    const UniqueKernelHandle wake_;  // auto-reset
    HANDLE addressChange_ = nullptr; // the timer thread's own watch, while Run runs

    std::mutex mutex_;
    unsigned intervalMinutes_ = 0;
    bool started_ = false;       // the clock below has been read on the timer thread
    ULONGLONG minuteOrigin_ = 0; // whole minutes are counted from here
    ULONGLONG nextTick_ = 0;     // the regular tick, once started_ and an interval is set
    bool earlyPending_ = false;
    ULONGLONG earlyAt_ = 0;
    CheckReason earlyReason_ = CheckReason::Interval;
    HWND targetWindow_ = nullptr;
    UINT tickMessage_ = 0;
};

} // namespace tovra
