#pragma once
// The shared state behind an InternetSession and its connections (an implementation detail of
// the internet classes; use InternetSession). It owns every handle of the session, runs blocking
// steps within the session's bounds, and routes WinINet's status notifications to the handler
// on the caller's thread.
//
// Locking: `mutex_` guards the handle list, the handler, the bounds and the running connect. It is never held
// while WinINet is called or the handler runs: a handle is taken off the list under the lock and closed after
// it, so no handle is closed twice and a close may raise notifications freely.

#include "framework/InternetError.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace tovra {

struct StepChannel;

class InternetSessionState : public std::enable_shared_from_this<InternetSessionState> {
public:
    using StatusHandler = std::function<void(DWORD status, const void* info, DWORD length)>;

    // What a step reports back from the thread that ran it.
    struct StepResult {
        bool ok = false;
        HINTERNET handle = nullptr; // a handle the step opened, if any
        std::optional<InternetError> error;
    };
    using Step = std::function<StepResult()>;

    static std::shared_ptr<InternetSessionState> Create();
    ~InternetSessionState();
    InternetSessionState(const InternetSessionState&) = delete;
    InternetSessionState& operator=(const InternetSessionState&) = delete;

    // The value every handle of this session is opened with: it leads notifications back here.
    DWORD_PTR Context() const noexcept { return context_; }

    // Takes a freshly opened handle into the session. Returns false (and leaves the handle
    // alone, as closing the parent has already disposed of it) when the session was aborted.
    bool Adopt(HINTERNET handle);
    // Closes the handle if the session still owns it; a handle that an abort or CloseAll has
    // already closed is not touched again.
    void Close(HINTERNET handle) noexcept;
    // Closes every handle, newest (children) first.
    void CloseAll() noexcept;
    // Whether the handle is still open and the session's (not closed by an abort or CloseAll).
    bool Owns(HINTERNET handle) const;
    void Abort() noexcept;
    bool Aborted() const noexcept { return aborted_->load(); }
    // The handle opened first: the session's own.
    HINTERNET SessionHandle() const noexcept;

    void SetHandler(StatusHandler handler);
    void SetStopEvent(HANDLE stopEvent);
    void SetStepTimeout(std::chrono::milliseconds timeout);
    void SetDeadline(std::chrono::steady_clock::time_point deadline);

    // How long the next step may take, in milliseconds; INFINITE when unbounded.
    DWORD StepBudgetMs() const;
    bool Bounded() const;

    // Runs `step` within the bounds: directly when there are none, otherwise on a helper thread
    // (see InternetSession.h). Throws the step's error, or the cancel or time-out error.
    // ftpConnect: the step is an FTP connect. Wine's WinINet may crash, or later fail handles
    // that are not its own, when the session is closed under such a connect (from another
    // thread, or from its own status callback), so an abort meanwhile leaves the closing to the
    // helper thread, which does it once the connect has returned. The caller walks away at once
    // all the same.
    StepResult Run(Step step, bool ftpConnect = false);

    // The WinINet status callback of every session.
    static void CALLBACK StatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info,
                                        DWORD length);

private:
    InternetSessionState();
    void Deliver(DWORD status, const void* info, DWORD length);

    const DWORD_PTR context_;
    mutable std::mutex mutex_;
    std::vector<HINTERNET> handles_;
    // Shared with the helper threads, which look at it just before they call WinINet.
    const std::shared_ptr<std::atomic<bool>> aborted_ = std::make_shared<std::atomic<bool>>(false);
    StatusHandler handler_;
    HANDLE stopEvent_ = nullptr;
    std::chrono::milliseconds stepTimeout_{0};
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    std::shared_ptr<StepChannel> runningConnect_; // the FTP connect under way, if any
};

} // namespace tovra
