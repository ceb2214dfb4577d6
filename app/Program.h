#pragma once
// The running program's parts and their order: it creates the main window and the workers (the
// invoker that carries their calls to the window thread, the posting cycle, the posting worker,
// the interval timer), starts them, takes the window's commands, and stops them in order.
//
// Threads: every member is for the window thread. Stopping closes the invoker first, so that
// nothing a worker posted reaches the window from then on, then stops each worker with a bound
// (WorkerThread::Stop): the program ends within a second even while the network hangs.

#include "cycle/PostingCycle.h"
#include "detection/IpAddressChecker.h"
#include "detection/IpSite.h"
#include "mainwindow/MainDialog.h"
#include "mainwindow/MainWindowOwner.h"
#include "mainwindow/UiInvoker.h"
#include "settings/Settings.h"
#include "tray/TimeWait.h"

#include <windows.h>

#include <memory>
#include <vector>

namespace tovra {

class CMainWindowView;
class CTrayIcon;

// What the program is built with besides the settings and the tray icon. The defaults are the
// program's; tests point the lookups at their own sites and the page at a folder of theirs.
struct ProgramOptions {
    // The sites asked while the stored list is missing or damaged.
    std::vector<IpSite> builtInSites = DefaultIpSites();
    DWORD lookupDeadlineMs = CIpAddressChecker::kLookupDeadlineMs;
    unsigned postingIntervalMinutes = 5;
    EarlyCheckDelays earlyChecks;
    PostingCycleOptions cycle;
};

class Program final : private MainWindowOwner {
public:
    // How long stopping waits for each worker before it leaves it behind.
    static constexpr DWORD kWorkerStopMs = 300;

    // settings and trayIcon belong to the application and must outlive the program.
    Program(HINSTANCE instance, Settings& settings, CTrayIcon& trayIcon, ProgramOptions options = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Creates the main window, loads the settings, asks for the first check in the stored
    // detection mode and starts the workers. The window stays hidden unless no site address is
    // stored: a first run opens on the Connection tab. False, with nothing left running, when the
    // window or a worker could not be made.
    bool Start();

    CMainDialog& MainWindow() noexcept { return mainWindow_; }

private:
    // MainWindowOwner.
    void PostNow() override;
    void CheckAndPost() override;
    void CheckAddressOnly(bool useWeb) override;
    LRESULT HandleIntervalTick(WPARAM reason) override;
    void ScheduleCheck(CheckReason reason) override;
    void UseSettings(std::shared_ptr<const Settings> settings, bool loaded) override;
    void Exit() override;
    void EndSession() noexcept override;
    void MainWindowDestroyed() noexcept override;

    bool StartWorkers();
    void StopWorkers() noexcept;

    const HINSTANCE instance_;
    Settings& settings_;
    CTrayIcon& trayIcon_;
    ProgramOptions options_;
    // First, so that it goes last: the view the workers may still hold refers to it.
    CMainDialog mainWindow_;

    std::unique_ptr<UiInvoker> invoker_;
    std::shared_ptr<CMainWindowView> view_;
    std::shared_ptr<CPostingCycle> cycle_;
    std::shared_ptr<CIpAddressChecker> checker_;
    std::shared_ptr<CTimeWait> timer_;
    bool stopped_ = false; // the workers have been stopped; commands start nothing any more
};

} // namespace tovra
