#pragma once
// The program's central task: a detected address is shown, compared with the one detected before,
// and, when it changed (or the user forces it, or the last posting failed), handed to every
// publisher; every step is a time-stamped line of the log (ProgramLog).
//
// Threads:
// - Window thread: Create, Start, Stop, UseSettings, PostNow, CheckAndPost, CheckAddressOnly and
//   HandleIntervalTick. None of them waits for the network or for another thread; the requests
//   go to the posting worker's queue (the address checker's thread, CIpAddressChecker).
// - Posting worker: the CheckerOwner calls. It alone holds the detected address pair and runs the
//   decision and the publishers, one posting at a time; it tells the window what to show by
//   posting to it (CycleView), never by asking it anything.
// - Any thread: AppendLog.
// What the threads share: the settings snapshot (replaced whole, std::atomic_load/store), the
// detection mode and a few flags (atomics), the stop event, and the log's queue (its own lock).
// Owned through std::shared_ptr, because the worker co-owns it as its owner.

#include "cycle/CycleView.h"
#include "cycle/PostingDecision.h"
#include "cycle/ProgramLog.h"
#include "detection/CheckReason.h"
#include "detection/CheckerOwner.h"
#include "framework/TimeFormat.h"
#include "framework/Win32Handles.h"
#include "publish/Publisher.h"
#include "settings/Settings.h"
#include "upload/LogSink.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tovra {

// Sent by the interval timer; it carries only the interval and the reason (wParam, a CheckReason;
// 0 for the regular tick), so a copy of it from any other program costs one check at most.
inline constexpr UINT WM_INTERVAL_TICK = WM_USER + 141;

// Why a check that the timer sent early runs; logged before "Checking IP Address...".
inline constexpr std::string_view kResumedLine = "Resumed from sleep";
inline constexpr std::string_view kNetworkChangedLine = "Network changed";
inline constexpr std::string_view kRetryLine = "Trying again after a failed check";

// What the cycle is built with; tests point the page, the clock and the box elsewhere.
struct PostingCycleOptions {
    PageGenerator pageGenerator; // where the page is generated
    DWORD uploadStepTimeoutMs = kUploadStepTimeoutMs;
    std::function<LocalDateTime()> clock;      // the log's time; the local time when empty
    std::function<void(const char*)> errorBox; // the uploader's box; the view's message box when empty
    std::wstring logFilePath;                  // the log on disk (LogFile); none when empty
    std::string programVersion;                // named in the log file's line that opens a run
};

class CPostingCycle : public CheckerOwner,
                      public LogSink,
                      public std::enable_shared_from_this<CPostingCycle> {
public:
    using RequestCheckFn = std::function<void(bool useWeb, bool displayOnly)>;
    using RequestPostFn = std::function<void()>;
    using ScheduleCheckFn = std::function<void(CheckReason reason)>;
    using ClockFn = std::function<LocalDateTime()>;

    static std::shared_ptr<CPostingCycle> Create(std::shared_ptr<CycleView> view,
                                                 PostingCycleOptions options = {});
    ~CPostingCycle();

    // Window thread. requestCheck and requestPost reach the worker's queue (RequestCheck,
    // RequestPost); scheduleCheck asks the interval timer for an early check (CTimeWait::ScheduleCheck),
    // called on the worker when a check that may post found no address or could not publish. That
    // check gets one retry; the retry itself gets none, and the regular interval takes over. Opens the
    // run in the log file: "Tovra <version> started".
    void Start(RequestCheckFn requestCheck, ScheduleCheckFn scheduleCheck = {},
               RequestPostFn requestPost = {});
    // Window thread, once the view has stopped running posted calls: ends a running posting (the
    // publishers' stop event), writes the lines still queued, closes the run in the log file
    // ("Tovra ended") and makes every later call a no-op that logs nothing.
    void Stop();

    // Window thread: the settings as loaded or saved, for every later check and posting; their
    // detection mode is the one a check that may post uses. With storedAddress (a load), the
    // stored addresses are shown and become the ones the next detection is compared with.
    void UseSettings(std::shared_ptr<const Settings> settings, bool storedAddress);

    // Any thread: one time-stamped line (ProgramLog).
    void AppendLog(std::string_view text) override;

    // The "Post IP now" button: the worker posts the address it holds, after any check under way.
    void PostNow();
    // The interval tick and the tray's "Post IP now": log the check and ask the worker for one, in
    // the detection mode last chosen.
    void CheckAndPost();
    // The Local page's "Local" and "Web" buttons: a check whose result is only shown; the button
    // chosen is the detection mode from now on.
    void CheckAddressOnly(bool useWeb);

    // A tick of the interval timer: reason is its wParam (a CheckReason; 0 for the regular tick).
    LRESULT HandleIntervalTick(WPARAM reason = 0);

    // CheckerOwner, on the worker.
    void OnAddressDetected(const std::string& address, const std::string& ipv6Address,
                           bool displayOnly) override;
    void PostStoredAddress() override;
    void SetBusy(bool busy) override;
    ProxyCredentials ProxySignIn() override;
    std::optional<std::vector<IpSite>> SitesToAsk() override;

private:
    CPostingCycle(std::shared_ptr<CycleView> view, PostingCycleOptions options);

    std::shared_ptr<const Settings> CurrentSettings() const;
    // Worker: takes up the stored addresses of a load that came since the last check or post.
    void AdoptStoredAddress();
    // Worker: publishes to every publisher, or with everyCheckOnly to those that follow every
    // check; true when none whose failure makes the next check post again failed.
    // fromCheck: a failure is retried (SettleCheck), unless this is the retry.
    bool RunPost(bool everyCheckOnly = false, bool fromCheck = false);
    // After a check that may post: asks for its retry when it failed, unless it was the retry.
    void SettleCheck(bool failed);
    // Worker: runs fn with the view on the window thread, later.
    void Show(std::function<void(CycleView&)> fn);
    // retryFollows: the failure of a check that SettleCheck will try again.
    void ReportResult(bool failed, std::string_view reason, bool retryFollows = false);
    bool RetryWouldFollow() const;

    const std::shared_ptr<CycleView> view_;
    const ClockFn clock_;
    const std::shared_ptr<ProgramLog> log_;
    RequestCheckFn requestCheck_;
    RequestPostFn requestPost_;
    ScheduleCheckFn scheduleCheck_;
    std::atomic<bool> retryRunning_{false}; // a retry was asked of the worker, its result not yet in
    std::atomic<bool> stopping_{false};
    std::atomic<bool> useWeb_{true};            // the detection mode of a check that may post
    std::atomic<bool> storedAddressNew_{false}; // a load's addresses wait for the worker
    std::shared_ptr<const Settings> settings_;  // replaced whole: std::atomic_load/store only

    // The worker's own.
    std::string ipv4_; // the address pair detected last (or stored), and posted by "Post IP now"
    std::string ipv6_;
    PostingDecision decision_;
    const UniqueKernelHandle stop_; // manual-reset: set by Stop, ends every publisher's wait
    std::vector<std::unique_ptr<Publisher>> publishers_;
};

} // namespace tovra
