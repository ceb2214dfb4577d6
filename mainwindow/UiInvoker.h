#pragma once
// Carries calls from worker threads out on the UI thread, one at a time, in the order each caller
// makes them, while the caller waits.
//
// Threads: constructed on the UI thread, which owns its message-only window; Invoke() and Close()
// may be called from any thread. The state shared between them is the closed flag and
// the window handle, guarded by a mutex that is never held while a call is sent or runs.
//
// Lifetime: held through std::shared_ptr by the window that owns it and by every worker that calls
// it. The owner calls Close() before it goes away (and before it joins the workers): from then on
// no function runs, not even one whose caller is already blocked waiting, and every Invoke()
// returns false. A worker abandoned in a network call that wakes up later finds a closed invoker
// it still co-owns, never a freed window. The joining thread must handle sent messages while it
// waits (WorkerThread::Join does): that is how a caller blocked at the moment of Close() is
// released.
// Not a MessageWindow: the last reference may be dropped on a worker, which cannot destroy the
// window, so the window must not point back at this object; its procedure finds each call by number.

#include <windows.h>

#include <functional>
#include <mutex>

namespace tovra {

class UiInvoker {
public:
    // Creates the message-only window on the calling thread, which becomes the UI thread.
    // Throws std::system_error when the window cannot be created.
    explicit UiInvoker(HINSTANCE instance);
    ~UiInvoker();
    UiInvoker(const UiInvoker&) = delete;
    UiInvoker& operator=(const UiInvoker&) = delete;

    // Runs fn on the UI thread and returns once it has run: directly when called on the UI thread,
    // otherwise through a message sent to the invoker's window. Returns false without running fn
    // once Close() has been called (or when the UI thread is gone). An exception thrown by fn is
    // caught on the UI thread and rethrown here, in the caller's thread.
    bool Invoke(const std::function<void()>& fn);

    // Idempotent, from any thread. On the UI thread the window goes at once; from another thread
    // (a worker holding the last reference) it is asked to close itself, and calls are refused
    // from this moment either way.
    void Close();

    bool IsClosed() const;

    DWORD UiThreadId() const { return uiThreadId_; }

private:
    struct Call;
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    const DWORD uiThreadId_;
    mutable std::mutex mutex_;
    HWND window_ = nullptr; // guarded by mutex_; null once closed
};

} // namespace tovra
