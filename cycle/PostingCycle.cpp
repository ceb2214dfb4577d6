#include "cycle/PostingCycle.h"

#include "cycle/LogLine.h"
#include "cycle/LogRedaction.h"
#include "publish/Publishers.h"
#include "framework/Clock.h"
#include "framework/FixedText.h"
#include "framework/InternetError.h"
#include "framework/WideText.h"

#include <utility>

namespace tovra {
namespace {

// How long Stop waits for the post thread once its upload has been cancelled. WinINet may keep a
// step that waits for a server's reply for up to its own 30 seconds; the thread is then left to
// finish by itself, touching nothing of the window's.
constexpr DWORD kPostThreadJoinMs = 2000;

// What one post needs from the settings, copied on the window thread.
struct PostJob {
    std::string siteAddress;
    std::string sitePort;
    std::string userName;
    std::string password;
    bool passiveMode = false;
    std::string remotePath;
    std::string templateFile;
    std::string address;
    std::string ipv6Address;
};

} // namespace

// Runs the posts the "Post IP now" button asks for, so the window never waits for the network.
// Presses made while a post is waiting to start are one request. The thread lives only while there
// are posts to run: an idle thread costs nothing on Windows but a megabyte of memory under Wine, and
// the button is pressed rarely. Request() on the window thread, Run() on the post thread; the
// two flags are guarded by mutex_.
class CPostingCycle::PostThread : public WorkerThread {
public:
    explicit PostThread(std::weak_ptr<CPostingCycle> cycle) : cycle_(std::move(cycle)) {}

    // False once the thread has run out of posts and is ending: the caller starts another.
    bool Request() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (ending_)
            return false;
        pending_ = true;
        return true;
    }

protected:
    void Run() override {
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (!pending_ || StopRequested()) {
                    ending_ = true;
                    return;
                }
                pending_ = false;
            }
            const std::shared_ptr<CPostingCycle> cycle = cycle_.lock();
            if (!cycle)
                return;
            cycle->RunPost();
        }
    }

private:
    const std::weak_ptr<CPostingCycle> cycle_;
    std::mutex mutex_;
    bool pending_ = false;
    bool ending_ = false;
};

std::shared_ptr<CPostingCycle> CPostingCycle::Create(std::shared_ptr<CycleView> view, Settings& settings,
                                                     PostingCycleOptions options) {
    return std::shared_ptr<CPostingCycle>(new CPostingCycle(std::move(view), settings, std::move(options)));
}

CPostingCycle::CPostingCycle(std::shared_ptr<CycleView> view, Settings& settings, PostingCycleOptions options)
    : view_(std::move(view)), settings_(settings),
      clock_(options.clock ? std::move(options.clock) : ClockFn(&CurrentLocalTime)),
      logFile_(options.logFilePath.empty() ? nullptr
                                           : std::make_unique<LogFile>(std::move(options.logFilePath))),
      programVersion_(std::move(options.programVersion)),
      stop_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    PublisherContext context;
    context.log = this;
    context.stop = stop_.get();
    context.pageGenerator = std::move(options.pageGenerator);
    context.pageStepTimeoutMs = options.uploadStepTimeoutMs;
    context.messageBox = std::move(options.errorBox);
    // The box shows on the window thread while the posting thread goes on: a thread waiting for
    // the user would hold every later check and post, and Exit, for as long as nobody clicks.
    if (!context.messageBox)
        context.messageBox = [this](const char* text) {
            view_->RunOnWindowThread([&] { view_->ShowMessageBox(text); });
        };
    publishers_ = CreatePublishers(context);
}

CPostingCycle::~CPostingCycle() {
    {
        std::lock_guard<std::mutex> lock(logMutex_);
        logClosed_ = true;
    }
    // First, while every member they may report to is still whole: closing a connection raises
    // status lines, which the closed log drops.
    publishers_.clear();
    // An owner that never called Stop must not leave the post thread waiting for good.
    if (postThread_)
        postThread_->RequestStop();
}

void CPostingCycle::Start(RequestCheckFn requestCheck, ScheduleCheckFn scheduleCheck) {
    requestCheck_ = std::move(requestCheck);
    scheduleCheck_ = std::move(scheduleCheck);
    if (std::exchange(runStarted_, true))
        return;
    WriteLogFile(FormatLogFileLine(clock_(), "Tovra " + programVersion_ + " started"));
}

void CPostingCycle::Stop() {
    stopping_ = true;
    {
        std::lock_guard<std::mutex> lock(logMutex_);
        logClosed_ = true;
        pendingLog_.clear();
    }
    if (stop_)
        ::SetEvent(stop_.get());
    if (postThread_)
        postThread_->Stop(kPostThreadJoinMs);
    if (runStarted_ && !std::exchange(runEnded_, true))
        WriteLogFile(FormatLogFileLine(clock_(), "Tovra ended"));
}

void CPostingCycle::AppendLog(std::string_view text) {
    {
        std::lock_guard<std::mutex> lock(logMutex_);
        if (logClosed_)
            return;
        // Stamped here, in the order of the calls, whichever thread then writes it out.
        pendingLog_.push_back(PendingLine{clock_(), std::string(text)});
    }
    view_->RunOnWindowThread([this] { FlushLog(); });
}

void CPostingCycle::FlushLog() {
    std::vector<PendingLine> pending;
    {
        std::lock_guard<std::mutex> lock(logMutex_);
        pending.swap(pendingLog_);
    }
    if (pending.empty())
        return;
    // The passwords as they are now: the settings are this thread's to read.
    const std::string_view secrets[] = {FieldText(settings_.SitePassword),
                                        FieldText(settings_.ProxyPassword)};
    std::string box;
    std::string file;
    for (const PendingLine& line : pending) {
        const std::string text = HideSecrets(line.text, secrets);
        box += FormatLogLine(line.time, text);
        if (logFile_)
            file += FormatLogFileLine(line.time, text);
    }
    view_->AppendLogText(box);
    WriteLogFile(file);
}

void CPostingCycle::WriteLogFile(std::string_view lines) {
    if (!logFile_ || lines.empty() || logFile_->Append(lines) || std::exchange(logFileFailureShown_, true))
        return;
    // Once: a full disk would otherwise add a line of its own to every line of the log.
    std::string reason = InternetError::MessageText(logFile_->LastError());
    if (reason.empty())
        reason = "error " + std::to_string(logFile_->LastError());
    view_->AppendLogText(FormatLogLine(clock_(), "Cannot write the log file " +
                                                     NarrowForDisplay(logFile_->Path()) + ": " + reason));
}

void CPostingCycle::PostNow() {
    if (stopping_ || (postThread_ && postThread_->Request()))
        return;
    // The last thread (if any) has ended or is ending; it touches nothing of ours any more.
    postThread_ = std::make_shared<PostThread>(weak_from_this());
    postThread_->Request();
    postThread_->Start();
}

void CPostingCycle::CheckAndPost() {
    if (stopping_)
        return;
    AppendLog("Checking IP Address...");
    if (requestCheck_)
        requestCheck_(view_->WebDetectionChosen(), false);
}

void CPostingCycle::CheckAddressOnly(bool useWeb) {
    if (!stopping_ && requestCheck_)
        requestCheck_(useWeb, true);
}

void CPostingCycle::ShowStoredAddress(std::string_view address, std::string_view ipv6Address) {
    view_->ShowDetectedAddress(address);
    CopyBounded(settings_.LastIP, address);
    view_->ShowDetectedIpv6Address(ipv6Address);
    CopyBounded(settings_.LastIPv6, ipv6Address);
}

LRESULT CPostingCycle::HandleIntervalTick(WPARAM reason) {
    if (stopping_)
        return 0;
    switch (static_cast<CheckReason>(reason)) {
    case CheckReason::ResumedFromSleep:
        AppendLog(kResumedLine);
        break;
    case CheckReason::NetworkChanged:
        AppendLog(kNetworkChangedLine);
        break;
    case CheckReason::Retry:
        AppendLog(kRetryLine);
        retryRunning_ = true;
        break;
    case CheckReason::Interval:
        break;
    }
    CheckAndPost();
    return 0;
}

void CPostingCycle::SettleCheck(bool failed) {
    const bool wasRetry = retryRunning_.exchange(false);
    if (failed && !wasRetry && !stopping_ && scheduleCheck_)
        scheduleCheck_(CheckReason::Retry);
}

void CPostingCycle::OnAddressDetected(const std::string& address, const std::string& ipv6Address,
                                      bool displayOnly) {
    if (stopping_)
        return;
    if (address.empty()) {
        // Keep the field and LastIP: publishing a page without an address over a good one helps
        // nobody, and the next check may well succeed.
        AppendLog(kNothingDetectedLine);
        if (!displayOnly) {
            ReportResult(true, kNothingDetectedLine);
            SettleCheck(true);
        }
        return;
    }
    std::string previous;
    std::string previousIpv6;
    bool forcePost = false;
    const bool shown = view_->RunOnWindowThread([&] {
        previous = view_->DetectedAddress();
        previousIpv6 = view_->DetectedIpv6Address();
        view_->ShowDetectedAddress(address);
        view_->ShowDetectedIpv6Address(ipv6Address);
        CopyBounded(settings_.LastIP, address);
        CopyBounded(settings_.LastIPv6, ipv6Address);
        forcePost = settings_.ForcePost;
    });
    if (!shown)
        return;
    switch (decision_.Decide({previous, previousIpv6}, {address, ipv6Address}, displayOnly, forcePost)) {
    case PostingDecision::Outcome::Post:
        SettleCheck(!RunPost());
        break;
    case PostingDecision::Outcome::Unchanged:
        AppendLog(kUnchangedLine);
        // The decision posts again after a failed upload, so the page on the server is current;
        // the publishers that keep their own record are asked all the same.
        SettleCheck(!RunPost(true));
        break;
    case PostingDecision::Outcome::NothingDetected:
    case PostingDecision::Outcome::DisplayOnly:
        break;
    }
}

void CPostingCycle::SetIconById(int iconId) {
    view_->RunOnWindowThread([&] { view_->SetTrayIcon(iconId); });
}

ProxyCredentials CPostingCycle::ProxySignIn() {
    ProxyCredentials proxy;
    view_->RunOnWindowThread([&] {
        proxy.userName = FieldText(settings_.ProxyUsername);
        proxy.password = FieldText(settings_.ProxyPassword);
    });
    return proxy;
}

bool CPostingCycle::RunPost(bool everyCheckOnly) {
    std::lock_guard<std::mutex> post(postMutex_);
    if (stopping_)
        return false;

    Posting posting;
    const bool read = view_->RunOnWindowThread([&] {
        // A check that changed nothing leaves the user on the tab they are at.
        if (!everyCheckOnly)
            view_->ShowDetailsPage();
        posting.ipv4 = FieldText(settings_.LastIP);
        posting.ipv6 = FieldText(settings_.LastIPv6);
        posting.settings = std::make_shared<const Settings>(settings_);
    });
    if (!read)
        return false;
    posting.time = clock_();

    bool published = true;
    bool owedPublished = true; // by the publishers whose failure makes the next check post
    bool refused = false;
    std::string reason;
    for (const std::unique_ptr<Publisher>& publisher : publishers_) {
        if (everyCheckOnly && !publisher->FollowsEveryCheck())
            continue;
        const Outcome outcome = publisher->Publish(posting);
        if (stopping_)
            return false;
        if (outcome.refused != RefusedSetting::None) {
            refused = true;
            view_->RunOnWindowThread([&] { view_->ShowRefusedSetting(outcome.refused); });
        }
        if (!outcome.published && published)
            reason = outcome.reason;
        published = published && outcome.published;
        if (!publisher->FollowsEveryCheck())
            owedPublished = owedPublished && outcome.published;
    }
    // A posting refused for its settings sent nothing: whether a page is owed stays as it was.
    if (!refused && !everyCheckOnly)
        decision_.RecordUpload(owedPublished);
    ReportResult(!published, reason);
    return owedPublished;
}

void CPostingCycle::ReportResult(bool failed, std::string_view reason) {
    view_->RunOnWindowThread([&] { view_->ShowPostingResult(failed, reason); });
}

} // namespace tovra
