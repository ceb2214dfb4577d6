#pragma once
// Base of the program's worker threads: start, cooperative stop, bounded join.
//
// Threads: Start, RequestStop, Join and Stop are called by the owner (usually the UI thread);
// Run, WaitForStop, StopRequested and StopEvent by the worker itself. RequestStop may be called
// from any thread. Nothing here is guarded by a lock: the stop request is a manual-reset event.
//
// Lifetime: a worker is always owned through std::shared_ptr (std::make_shared), and Start() gives
// the running thread a reference of its own. So a Join that times out, because the worker is stuck
// in a call it cannot leave yet (a network exchange), never leaves a thread running inside freed
// memory: the abandoned worker keeps itself alive, finds the stop request set when the call
// returns, and its destructor then runs on that thread. It follows that a derived destructor
// never runs while Run() does, and that an owner must Stop() its worker before letting go of it;
// one that does not leaves the thread running until it returns from Run() by itself.
// Whatever the worker calls back into (a window, through the owner's invoker) must be just as
// co-owned and closed, never reached by a raw pointer that may dangle once the owner is gone.

#include "framework/Win32Handles.h"

#include <windows.h>

#include <exception>
#include <memory>

namespace tovra {

class WorkerThread : public std::enable_shared_from_this<WorkerThread> {
public:
    WorkerThread();
    virtual ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts the thread once. False when it was already started, when the object is not owned by
    // a std::shared_ptr (call it after construction, not from a constructor), or when the system
    // refuses to create the thread.
    bool Start();

    // Sets the stop event. Safe to repeat.
    void RequestStop();

    // Waits up to timeoutMs for the thread to end, handling the messages other threads send to
    // this thread meanwhile (a worker blocked sending to one of our windows would otherwise wait
    // for us while we wait for it). Posted messages stay queued. True when the thread has ended
    // or was never started; false on time-out or when called from the worker itself.
    bool Join(DWORD timeoutMs);

    // RequestStop() then Join(timeoutMs).
    bool Stop(DWORD timeoutMs);

    // True from Start() until the thread has returned from Run().
    bool IsRunning() const;

    // The exception that escaped Run(), if any; meaningful once Join() has returned true.
    std::exception_ptr Failure() const { return failure_; }

    bool StopRequested() const;

    // The manual-reset stop event, for a worker that waits on other handles as well.
    HANDLE StopEvent() const { return stopEvent_.get(); }

    // Waits in place of Sleep: returns true as soon as stop is requested, false after ms without.
    bool WaitForStop(DWORD ms) const;

protected:
    virtual void Run() = 0;

private:
    static unsigned __stdcall ThreadEntry(void* parameter);

    UniqueKernelHandle stopEvent_;
    UniqueKernelHandle thread_;
    DWORD threadId_ = 0;
    std::exception_ptr failure_;
};

} // namespace tovra
