#include "app/Program.h"

#include "framework/FixedText.h"
#include "mainwindow/MainWindowView.h"
#include "tray/TrayIcon.h"

#include <string>
#include <system_error>
#include <utility>

namespace tovra {
namespace {

// The timer is started with a long interval and set to the real one straight after, so that the
// real interval counts from the moment the thread runs.
constexpr unsigned kStartupIntervalMinutes = 10;

} // namespace

Program::Program(HINSTANCE instance, Settings& settings, CTrayIcon& trayIcon, ProgramOptions options)
    : instance_(instance), settings_(settings), trayIcon_(trayIcon), options_(std::move(options)),
      mainWindow_(instance, settings, trayIcon, *this, options_.builtInSites) {}

Program::~Program() {
    StopWorkers();
    // Now, while every member is still here for the window's last calls to its owner.
    mainWindow_.Destroy();
}

bool Program::Start() {
    if (!mainWindow_.Create())
        return false;
    // A program whose workers could not start (no invoker window, for one) would sit in the tray
    // and never post: better to fail where the caller can see it.
    if (!StartWorkers()) {
        Exit();
        return false;
    }
    // A first run, with no site stored yet, would sit unseen in the tray with nothing to post to:
    // it opens where a new user has to begin. Once a site is saved, starts stay in the tray.
    if (FieldText(settings_.SiteAddress).empty())
        mainWindow_.OpenOnConnectionTab();
    return true;
}

bool Program::StartWorkers() {
    try {
        invoker_ = std::make_unique<UiInvoker>(instance_);
    } catch (const std::system_error&) {
        return false;
    }
    view_ = std::make_shared<CMainWindowView>(invoker_->Calls(), mainWindow_);
    cycle_ = CPostingCycle::Create(view_, options_.cycle);
    checker_ = std::make_shared<CIpAddressChecker>(cycle_, options_.builtInSites, options_.lookupDeadlineMs);
    timer_ = std::make_shared<CTimeWait>(options_.earlyChecks);
    // Weak: the checker already co-owns the cycle, and a strong reference back would keep both
    // alive for good. The timer is reached the same way, from the checker's thread.
    cycle_->Start(
        [weakChecker = std::weak_ptr<CIpAddressChecker>(checker_)](bool useWeb, bool displayOnly) {
            if (const auto checker = weakChecker.lock())
                checker->RequestCheck(useWeb, displayOnly);
        },
        [weakTimer = std::weak_ptr<CTimeWait>(timer_)](CheckReason reason) {
            if (const auto timer = weakTimer.lock())
                timer->ScheduleCheck(reason);
        },
        [weakChecker = std::weak_ptr<CIpAddressChecker>(checker_)] {
            if (const auto checker = weakChecker.lock())
                checker->RequestPost();
        });

    mainWindow_.LoadSettings();
    checker_->RequestCheck(settings_.GetWebAddress, false);
    checker_->Start();

    timer_->SetInterval(kStartupIntervalMinutes);
    timer_->SetTarget(mainWindow_.Handle(), WM_INTERVAL_TICK);
    timer_->Start();
    timer_->SetInterval(options_.postingIntervalMinutes);
    return timer_->IsRunning();
}

void Program::StopWorkers() noexcept {
    if (stopped_)
        return;
    stopped_ = true;
    // First the invoker: nothing a worker posted, or posts later, runs, so no line, address or
    // result reaches the window from here on.
    if (invoker_)
        invoker_->Close();
    // Each stop wakes its worker out of whatever it waits on (the network included) and waits a
    // bounded time.
    if (cycle_)
        cycle_->Stop();
    if (checker_)
        checker_->Stop(kWorkerStopMs);
    if (timer_)
        timer_->Stop(kWorkerStopMs);
}

void Program::Exit() {
    StopWorkers();
    mainWindow_.Destroy();
}

void Program::EndSession() noexcept {
    // What Exit and the application's end would do, before returning: the workers stop within
    // their bounds and the log writes what is queued and its closing line.
    StopWorkers();
    // A page an abandoned upload left behind; one still held open goes at the next start's upload.
    const std::wstring page = options_.cycle.pageGenerator.PagePath();
    if (!page.empty())
        ::DeleteFileW(page.c_str());
    trayIcon_.DeleteIcon();
}

void Program::MainWindowDestroyed() noexcept {
    StopWorkers();
}

void Program::PostNow() {
    if (cycle_)
        cycle_->PostNow();
}

void Program::CheckAndPost() {
    if (cycle_ && !stopped_)
        cycle_->CheckAndPost();
}

void Program::CheckAddressOnly(bool useWeb) {
    if (cycle_)
        cycle_->CheckAddressOnly(useWeb);
}

LRESULT Program::HandleIntervalTick(WPARAM reason) {
    // A tick sent while Exit waits for the timer must start nothing.
    return cycle_ && !stopped_ ? cycle_->HandleIntervalTick(reason) : 0;
}

void Program::ScheduleCheck(CheckReason reason) {
    if (timer_ && !stopped_)
        timer_->ScheduleCheck(reason);
}

void Program::UseSettings(std::shared_ptr<const Settings> settings, bool loaded) {
    // The next check asks the list; the one on its way keeps its own.
    if (cycle_)
        cycle_->UseSettings(std::move(settings), loaded);
}

} // namespace tovra
