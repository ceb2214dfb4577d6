#pragma once
// Paces the automatic posting: counts seconds on its own thread and, each time the set number of
// whole minutes has passed, sends the tick message to the target window (wParam 0, lParam the
// minutes counted), synchronously, so the tick is handled on the window's own thread. The time the
// window spends on a tick is not counted: ticks drift later by that much, which is accepted.
//
// Threads: SetInterval and SetTarget may be called by the owner at any time, also while the
// thread runs; the counts they share with the timer thread are guarded by a mutex that is never
// held while a tick is sent. Stop (WorkerThread) must be called on the target window's thread:
// its join handles a tick sent meanwhile, and once it has returned true no tick comes any more.
// Owned through std::shared_ptr (WorkerThread).

#include "framework/WorkerThread.h"

#include <windows.h>

#include <mutex>

namespace tovra {

class CTimeWait : public WorkerThread {
public:
    // 0 is refused (false, nothing changed). Otherwise the minute count starts again from 0; the
    // seconds of the current minute carry on.
    bool SetInterval(unsigned minutes);

    // False, storing nothing, when either is zero.
    bool SetTarget(HWND window, UINT message);

protected:
    void Run() override;

    // One second of the count: false as soon as the thread is to stop. Tests replace it to run
    // hundreds of seconds in a moment.
    virtual bool SleepOneSecond();

private:
    std::mutex mutex_;
    unsigned intervalMinutes_ = 0;
    unsigned minutesElapsed_ = 0;
    unsigned secondsElapsed_ = 0;
    HWND targetWindow_ = nullptr;
    UINT tickMessage_ = 0;
};

} // namespace tovra
