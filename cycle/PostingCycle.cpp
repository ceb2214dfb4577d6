#include "cycle/PostingCycle.h"

#include "framework/Clock.h"
#include "framework/FixedText.h"
#include "publish/Publishers.h"

#include <utility>

namespace tovra {

std::shared_ptr<CPostingCycle> CPostingCycle::Create(std::shared_ptr<CycleView> view,
                                                     PostingCycleOptions options) {
    return std::shared_ptr<CPostingCycle>(new CPostingCycle(std::move(view), std::move(options)));
}

CPostingCycle::CPostingCycle(std::shared_ptr<CycleView> view, PostingCycleOptions options)
    : view_(std::move(view)), clock_(options.clock ? std::move(options.clock) : ClockFn(&CurrentLocalTime)),
      log_(std::make_shared<ProgramLog>(view_, clock_, std::move(options.logFilePath),
                                        std::move(options.programVersion))),
      stop_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    PublisherContext context;
    context.log = log_.get();
    context.stop = stop_.get();
    context.pageGenerator = std::move(options.pageGenerator);
    context.pageStepTimeoutMs = options.uploadStepTimeoutMs;
    context.messageBox = std::move(options.errorBox);
    // The box shows on the window thread while the worker goes on: a worker waiting for the user
    // would hold every later check and post, and Exit, for as long as nobody clicks.
    if (!context.messageBox)
        context.messageBox = [this](const char* text) {
            Show([box = std::string(text)](CycleView& view) { view.ShowMessageBox(box); });
        };
    publishers_ = CreatePublishers(context);
}

CPostingCycle::~CPostingCycle() {
    // First, so that closing the publishers' connections, which raises status lines, logs nothing.
    log_->Mute();
    publishers_.clear();
}

void CPostingCycle::Start(RequestCheckFn requestCheck, ScheduleCheckFn scheduleCheck,
                          RequestPostFn requestPost) {
    requestCheck_ = std::move(requestCheck);
    scheduleCheck_ = std::move(scheduleCheck);
    requestPost_ = std::move(requestPost);
    log_->Open();
}

void CPostingCycle::Stop() {
    stopping_ = true;
    if (stop_)
        ::SetEvent(stop_.get());
    log_->Close();
}

void CPostingCycle::UseSettings(std::shared_ptr<const Settings> settings, bool storedAddress) {
    log_->UseSettings(settings);
    useWeb_ = settings->GetWebAddress;
    if (storedAddress)
        view_->ShowDetectedAddress(FieldText(settings->LastIP), FieldText(settings->LastIPv6));
    std::atomic_store(&settings_, std::move(settings));
    if (storedAddress)
        storedAddressNew_ = true;
}

std::shared_ptr<const Settings> CPostingCycle::CurrentSettings() const {
    std::shared_ptr<const Settings> settings = std::atomic_load(&settings_);
    return settings ? settings : std::make_shared<const Settings>();
}

void CPostingCycle::AppendLog(std::string_view text) {
    log_->AppendLog(text);
}

void CPostingCycle::PostNow() {
    if (!stopping_ && requestPost_)
        requestPost_();
}

void CPostingCycle::CheckAndPost() {
    if (stopping_)
        return;
    AppendLog("Checking IP Address...");
    if (requestCheck_)
        requestCheck_(useWeb_, false);
}

void CPostingCycle::CheckAddressOnly(bool useWeb) {
    useWeb_ = useWeb;
    if (!stopping_ && requestCheck_)
        requestCheck_(useWeb, true);
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

void CPostingCycle::Show(std::function<void(CycleView&)> fn) {
    view_->PostToWindowThread([view = view_, fn = std::move(fn)] { fn(*view); });
}

void CPostingCycle::AdoptStoredAddress() {
    if (!storedAddressNew_.exchange(false))
        return;
    const std::shared_ptr<const Settings> settings = CurrentSettings();
    ipv4_ = FieldText(settings->LastIP);
    ipv6_ = FieldText(settings->LastIPv6);
}

void CPostingCycle::OnAddressDetected(const std::string& address, const std::string& ipv6Address,
                                      bool displayOnly) {
    if (stopping_)
        return;
    AdoptStoredAddress();
    if (address.empty()) {
        // Keep the address shown and held: publishing a page without an address over a good one
        // helps nobody, and the next check may well succeed.
        AppendLog(kNothingDetectedLine);
        if (!displayOnly) {
            ReportResult(true, kNothingDetectedLine, RetryWouldFollow());
            SettleCheck(true);
        }
        return;
    }
    const std::string previous = std::exchange(ipv4_, address);
    const std::string previousIpv6 = std::exchange(ipv6_, ipv6Address);
    Show([address, ipv6Address](CycleView& view) { view.ShowDetectedAddress(address, ipv6Address); });
    const bool forcePost = CurrentSettings()->ForcePost;
    switch (decision_.Decide({previous, previousIpv6}, {address, ipv6Address}, displayOnly, forcePost)) {
    case PostingDecision::Outcome::Post:
        SettleCheck(!RunPost(false, true));
        break;
    case PostingDecision::Outcome::Unchanged:
        AppendLog(kUnchangedLine);
        // The decision posts again after a failed posting, so the page on the server is current;
        // the publishers that keep their own record are asked all the same.
        SettleCheck(!RunPost(true, true));
        break;
    case PostingDecision::Outcome::NothingDetected:
    case PostingDecision::Outcome::DisplayOnly:
        break;
    }
}

void CPostingCycle::PostStoredAddress() {
    if (stopping_)
        return;
    AdoptStoredAddress();
    RunPost();
}

void CPostingCycle::SetBusy(bool busy) {
    Show([busy](CycleView& view) { view.ShowBusy(busy); });
}

ProxyCredentials CPostingCycle::ProxySignIn() {
    const std::shared_ptr<const Settings> settings = CurrentSettings();
    return ProxyCredentials{std::string(FieldText(settings->ProxyUsername)),
                            std::string(FieldText(settings->ProxyPassword))};
}

std::optional<std::vector<IpSite>> CPostingCycle::SitesToAsk() {
    return CurrentSettings()->IpSites;
}

bool CPostingCycle::RunPost(bool everyCheckOnly, bool fromCheck) {
    if (stopping_)
        return false;
    // A check that changed nothing leaves the user on the tab they are at.
    if (!everyCheckOnly)
        Show([](CycleView& view) { view.ShowDetailsPage(); });
    const Posting posting{ipv4_, ipv6_, clock_(), CurrentSettings()};

    bool published = true;
    bool owedPublished = true; // by the publishers whose failure makes the next check post
    bool refused = false;
    std::string reason;
    for (const std::unique_ptr<Publisher>& publisher : publishers_) {
        if (everyCheckOnly && !publisher->FollowsEveryCheck())
            continue;
        Outcome outcome = publisher->Publish(posting);
        if (stopping_)
            return false;
        if (outcome.refused != RefusedSetting::None) {
            refused = true;
            Show([setting = outcome.refused](CycleView& view) { view.ShowRefusedSetting(setting); });
        }
        if (!outcome.published && published)
            reason = std::move(outcome.reason);
        published = published && outcome.published;
        if (!publisher->FollowsEveryCheck())
            owedPublished = owedPublished && outcome.published;
    }
    // A posting refused for its settings sent nothing: whether a page is owed stays as it was.
    if (!refused && !everyCheckOnly)
        decision_.RecordUpload(owedPublished);
    ReportResult(!published, reason, fromCheck && !owedPublished && RetryWouldFollow());
    return owedPublished;
}

bool CPostingCycle::RetryWouldFollow() const {
    return !retryRunning_ && !stopping_ && scheduleCheck_;
}

void CPostingCycle::ReportResult(bool failed, std::string_view reason, bool retryFollows) {
    Show([failed, why = std::string(reason), retryFollows](CycleView& view) {
        view.ShowPostingResult(failed, why, retryFollows);
    });
}

} // namespace tovra
