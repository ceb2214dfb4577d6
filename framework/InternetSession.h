#pragma once
// A WinINet session: InternetOpenA with the agent name and, by default, the system's configured
// direct or proxy access (INTERNET_OPEN_TYPE_PRECONFIG), options, status notifications, and the
// bounds that every blocking step of its connections keeps to.
//
// Bounding and cancelling, the contract. WinINet's own time-outs cannot be relied on: Wine
// implements only the connect time-out, and against a server that accepts a connection and then
// never answers, a login or an FTP command waits 30 s or more. Closing the session handle from
// another thread cancels a blocked call on Windows, but under Wine it wakes only a blocked
// InternetConnectA, not HttpSendRequestA, InternetReadFile, or an FTP command. So:
//   - Once SetStopEvent, SetStepTimeout or SetDeadline has been used, every blocking step of
//     this session's connections (an HTTP send or body read, an FTP connect and login, a
//     directory change, a store) runs on a helper thread while the caller waits for the first
//     of: the step's end, the stop event, the end of the step's time (the step time-out or what
//     is left until the deadline, whichever is shorter).
//   - On stop or time-out the caller does not wait for WinINet: the session is aborted (its
//     handles are closed, children first, which cancels the step where the platform can) and
//     the step throws InternetError ERROR_INTERNET_OPERATION_CANCELLED or ERROR_INTERNET_TIMEOUT
//     at once. The helper thread may stay blocked until WinINet lets go (bounded under Wine by
//     the receive time-out that the HTTP classes set on their own handles, and by Wine's
//     30-second wait for an FTP reply). An abort that meets an FTP connect does not close the
//     session under it, which can crash Wine's WinINet: the connect's helper closes the handles
//     once the connect has returned. The helper touches nothing but its own shared state and
//     never calls the status handler, so the caller and its windows may go away. With a stop
//     event alone and no time bound, such a thread waits as long as WinINet does: give a time
//     bound too.
//   - An aborted session stays aborted: its later steps fail at once with "cancelled". Build a
//     new session for the next attempt.
//   - While it waits, the calling thread dispatches messages sent to its windows from other
//     threads (not posted ones), so a window thread may run a step without deadlocking them.
//   - Without any bound (the default), steps run on the calling thread like plain WinINet calls.
// Every handle belongs to the session's shared state and is closed exactly once: by its owner
// object, by Close(), or by an abort; owners of handles that an abort closed do not close them
// again, so a handle value that WinINet has meanwhile handed out anew is never touched. (One
// narrow window is left: an abort that lands between a starting step's last look at the abort
// flag and WinINet's own lookup of the handle, a few instructions wide; WinINet offers nothing
// that would close it.)
//
// Status notifications (InternetSetStatusCallback) go to the handler given to
// SetStatusHandler, always on the thread that called the step, in the order WinINet sent them,
// never after the step has returned or thrown. Notifications raised while a handle is closed
// (status 50, 51, 70) arrive on the thread that closes it, unless the session was aborted.
//
// Threads: one thread uses the session and its connections; Abort() may come from any thread.
// Objects may be destroyed in any order: connections keep the shared state alive, and closing
// the session first closes their handles, which they then leave alone. The status handler is
// dropped with the session object, so it may capture its owner.

#include "framework/InternetError.h"

#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace tovra {

class InternetSessionState;

class InternetSession {
public:
    // status: an INTERNET_STATUS_* code; info and length: what WinINet passed with it (a copy,
    // valid only during the call; for 10 and 11 a zero-terminated host name).
    using StatusHandler = std::function<void(DWORD status, const void* info, DWORD length)>;

    // Throws InternetError when InternetOpenA fails.
    explicit InternetSession(const std::string& agent, DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG);
    ~InternetSession();
    InternetSession(InternetSession&&) noexcept = default;
    InternetSession& operator=(InternetSession&&) noexcept = default;
    InternetSession(const InternetSession&) = delete;
    InternetSession& operator=(const InternetSession&) = delete;

    // InternetSetOptionA with a 32-bit value (INTERNET_OPTION_CONNECT_TIMEOUT and the like).
    bool SetOption(DWORD option, DWORD value);

    // Set before opening connections: WinINet hands the callback on to the handles opened
    // afterwards. An empty handler turns the notifications off.
    void SetStatusHandler(StatusHandler handler);

    // A manual-reset event that cancels the running step at once when signalled (not owned; it
    // must outlive the session's steps).
    void SetStopEvent(HANDLE stopEvent);
    // The longest any single blocking step may take.
    void SetStepTimeout(std::chrono::milliseconds timeout);
    // A point in time after which no step may go on (for example, the end of a whole lookup).
    void SetDeadline(std::chrono::steady_clock::time_point deadline);

    // Closes every handle of the session, children first, and fails the running and all later
    // steps. Any thread may call it; it returns at once.
    void Abort() noexcept;
    bool Aborted() const noexcept;

    // Closes every handle of the session, children first. The session cannot be used afterwards.
    void Close() noexcept;

    HINTERNET Handle() const noexcept;

private:
    friend class HttpConnection;
    friend class FtpConnection;
    std::shared_ptr<InternetSessionState> state_;
};

} // namespace tovra
