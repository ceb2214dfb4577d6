#pragma once
// The program's central task: a detected address is shown, compared with the one shown before,
// and, when it changed (or the user forces it, or the last upload failed), the page is generated
// and uploaded; every step is a time-stamped line of the log. Also the one writer of the log.
// The main window owns one, hands it to the address checker as its owner, and connects its
// controls to it through a CycleView.
//
// Threads:
// - Window thread: Start, Stop, PostNow, CheckAndPost, CheckAddressOnly, ShowStoredAddress and the
//   message handlers. None of them waits for the network or for another thread's post.
// - Checker thread: OnAddressDetected, which returns after the post it started has finished, and
//   the CheckerOwner calls.
// - Post thread (the cycle's own, started for them): the posts the "Post IP now" button asks for.
// - Any thread: AppendLog. Lines are stamped and queued under logMutex_ in call order, and the
//   queue is written out on the window thread, so the log keeps the order of the calls and no
//   thread ever holds a lock while it waits for the window thread. The window thread writes each
//   batch to the log box and then to the log file, passwords hidden from both; the file's write
//   is a single append to a file opened for it (LogFile), and one that fails is dropped, never
//   retried, so the file never holds up a worker waiting for its line.
// Posts are serialised by postMutex_, which only the checker and post threads take: a post asked
// for while one runs waits for it. The settings are read and LastIP written on the window thread
// only. Owned through std::shared_ptr, because the checker co-owns it as its owner.

#include "cycle/CycleView.h"
#include "cycle/LogFile.h"
#include "cycle/PostingDecision.h"
#include "detection/CheckReason.h"
#include "detection/CheckerOwner.h"
#include "framework/TimeFormat.h"
#include "framework/WorkerThread.h"
#include "settings/Settings.h"
#include "upload/LogSink.h"
#include "publish/Publisher.h"
#include "framework/Win32Handles.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
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
    using ScheduleCheckFn = std::function<void(CheckReason reason)>;
    using ClockFn = std::function<LocalDateTime()>;

    // settings belongs to the application and is touched on the window thread only.
    static std::shared_ptr<CPostingCycle> Create(std::shared_ptr<CycleView> view, Settings& settings,
                                                 PostingCycleOptions options = {});
    ~CPostingCycle();

    // Window thread. requestCheck reaches the address checker (RequestCheck); scheduleCheck asks the
    // interval timer for an early check (CTimeWait::ScheduleCheck), called on the checker thread
    // when a check that may post found no address or could not upload. That check gets one retry;
    // the retry itself gets none, and the regular interval takes over. Opens the run in the log
    // file: "Tovra <version> started".
    void Start(RequestCheckFn requestCheck, ScheduleCheckFn scheduleCheck = {});
    // Window thread, once the view has stopped running calls: ends a running upload, stops the
    // post thread (a bounded wait), closes the run in the log file ("Tovra ended") and makes every
    // later call a no-op that logs nothing.
    void Stop();

    // Any thread: one time-stamped line; returns once it is in the log box (or the window is gone).
    void AppendLog(std::string_view text) override;

    // The "Post IP now" button: posts LastIP on the post thread and returns at once.
    void PostNow();
    // The interval tick and the tray's "Post IP now": log the check and ask the checker for one,
    // in the mode of the "Web" radio button.
    void CheckAndPost();
    // The Local page's "Local" and "Web" buttons: a check whose result is only shown.
    void CheckAddressOnly(bool useWeb);
    // The stored address shown at start-up, without a decision or a log line.
    void ShowStoredAddress(std::string_view address, std::string_view ipv6Address = {});

    // A tick of the interval timer: reason is its wParam (a CheckReason; 0 for the regular tick).
    LRESULT HandleIntervalTick(WPARAM reason = 0);

    // CheckerOwner, on the checker's thread.
    void OnAddressDetected(const std::string& address, const std::string& ipv6Address,
                           bool displayOnly) override;
    void SetIconById(int iconId) override;
    ProxyCredentials ProxySignIn() override;

private:
    class PostThread;

    CPostingCycle(std::shared_ptr<CycleView> view, Settings& settings, PostingCycleOptions options);
    struct PendingLine {
        LocalDateTime time;
        std::string text;
    };

    // Publishes to every publisher, or with everyCheckOnly to those that follow every check;
    // true when none whose failure makes the next check post again failed.
    bool RunPost(bool everyCheckOnly = false);
    // After a check that may post: asks for its retry when it failed, unless it was the retry.
    void SettleCheck(bool failed);
    void FlushLog();
    void ReportResult(bool failed, std::string_view reason);
    // Window thread: appends to the log file, and says once in the log box when it cannot.
    void WriteLogFile(std::string_view lines);

    const std::shared_ptr<CycleView> view_;
    Settings& settings_;
    const ClockFn clock_;
    RequestCheckFn requestCheck_;
    ScheduleCheckFn scheduleCheck_;
    std::atomic<bool> retryRunning_{false}; // a retry was asked of the checker, its result not yet in
    std::shared_ptr<PostThread> postThread_;
    PostingDecision decision_;
    std::atomic<bool> stopping_{false};

    std::mutex logMutex_;
    std::vector<PendingLine> pendingLog_; // guarded by logMutex_: stamped lines not yet written
    bool logClosed_ = false;              // guarded by logMutex_

    // Window thread only.
    std::unique_ptr<LogFile> logFile_; // none without a path
    const std::string programVersion_;
    bool logFileFailureShown_ = false;
    bool runStarted_ = false; // the log file has the run's opening line (window thread)
    bool runEnded_ = false;

    const UniqueKernelHandle stop_; // manual-reset: set by Stop, ends every publisher's wait
    std::mutex postMutex_;
    std::vector<std::unique_ptr<Publisher>> publishers_; // used under postMutex_
};

} // namespace tovra
