#pragma once
// An internet session whose status notifications become log lines ("[thread id] what happened"),
// so the log shows the name resolution, the connection and each exchange as they happen.
//
// Threads: opened, used and closed on the thread that uploads; notifications are reported only
// when they arrive on that thread. Abort() may be called from any other thread, to wake a call
// blocked on the session: it only closes the handle and never destroys the object, so a
// notification that is still on its way finds the object alive.

#include "framework/Win32Handles.h"
#include "upload/LogSink.h"

#include <windows.h>
#include <wininet.h>

#include <mutex>

namespace tovra {

class CStatusLogSession {
public:
    // owner receives the status lines; null drops them.
    explicit CStatusLogSession(LogSink* owner) noexcept : owner_(owner) {}
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
    DWORD_PTR Context() noexcept { return reinterpret_cast<DWORD_PTR>(this); }

    // The session handle, or null once closed or aborted.
    HINTERNET Handle() const;

    // Closes the handle (and with it every handle opened on it). Safe to repeat, from any thread.
    void Close();

private:
    static void CALLBACK StatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID information,
                                        DWORD informationLength);
    void OnStatusCallback(DWORD status, const void* information, DWORD informationLength);

    LogSink* const owner_;
    DWORD ownerThreadId_ = 0;
    mutable std::mutex mutex_; // guards handle_ between the uploading thread and an aborting one
    UniqueInternetHandle handle_;
};

} // namespace tovra
