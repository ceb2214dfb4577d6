#pragma once
// An internet session whose status notifications become log lines ("[thread id] what happened"),
// so the log shows the name resolution, the connection and each exchange as they happen.
//
// Threads: opened, used and destroyed on the thread that uploads; notifications are reported only
// when they arrive on that thread. Close() may be called from any other thread, to wake a call
// blocked on the session. WinINet may deliver a notification late, on another thread, after the
// object is gone (seen under Wine after a close from another thread), so the context it carries
// is a number looked up among the live sessions, never a pointer that could dangle.

#include "framework/Win32Handles.h"
#include "upload/LogSink.h"

#include <windows.h>
#include <wininet.h>

#include <mutex>

namespace tovra {

class CStatusLogSession {
public:
    // owner receives the status lines; null drops them.
    explicit CStatusLogSession(LogSink* owner);
    ~CStatusLogSession();
    CStatusLogSession(const CStatusLogSession&) = delete;
    CStatusLogSession& operator=(const CStatusLogSession&) = delete;

    // Opens the session (agent "Tovra", the system's proxy settings, synchronous) and turns the
    // notifications on. False when the system refuses.
    bool Open();

    // A 32-bit option of the session; the result is the system's.
    bool SetOption(DWORD option, DWORD value);

    // The value to pass as the context of every call made on this session, so its notifications
    // find their way back here.
    DWORD_PTR Context() const noexcept { return context_; }

    // The session handle, or null once closed or aborted.
    HINTERNET Handle() const;

    // Closes the handle (and with it every handle opened on it). Safe to repeat, from any thread.
    void Close();

    // From another thread: makes a connect blocked on this session return. Under Wine a close
    // reaches the connection's socket only once the connection has one; a close in the moment
    // before is lost and the connect then waits WinINet's own 30 seconds for the greeting. So
    // until the first reply is awaited (status 40, which comes right after the socket is
    // connected) the close is left to the uploading thread, which makes it at that status.
    void Interrupt();

private:
    static void CALLBACK StatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID information,
                                        DWORD informationLength);
    void OnStatusCallback(DWORD status, const void* information, DWORD informationLength);

    LogSink* const owner_;
    const DWORD_PTR context_;
    mutable std::mutex mutex_; // guards handle_ between the uploading thread and an aborting one
    UniqueInternetHandle handle_;
    bool replyAwaited_ = false;     // guarded by mutex_: a status 40 has been seen
    bool interruptPending_ = false; // guarded by mutex_
};

} // namespace tovra
