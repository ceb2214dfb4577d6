#pragma once
// The program's one main window (dialog 102, "Tovra"): a tab control with the Details,
// Connection, Advanced and Names pages, "&Post IP now", "&Save" and "&Cancel". It is the hub of the
// program: it owns the posting cycle, the address checker and the interval timer, moves the
// settings between the registry, the settings record and the pages, and receives the tray menu's
// commands.
//
// The window starts hidden, since the program lives in the tray; only a first run, with no site
// stored, opens it on the Connection tab. Save (after saving), Cancel and the close box hide it,
// the tray's Show toggles it, and only the tray's Exit destroys it.
//
// Threads: a dialog of the UI thread; every member is for that thread. The workers reach the
// window only by posting to it through the invoker's queue (CMainWindowView). ExitProgram closes
// the invoker first, so from that moment nothing a worker posted reaches the window, and then
// stops the workers with bounded waits: the program ends within a second even while a lookup or
// an upload hangs in the network.

#include "cycle/PostingCycle.h"
#include "detection/IpAddressChecker.h"
#include "detection/IpSite.h"
#include "framework/Dialog.h"
#include "mainwindow/UiInvoker.h"
#include "framework/Win32Handles.h"
#include "mainwindow/BannerPicture.h"
#include "pages/AdvancedPage.h"
#include "pages/NamesPage.h"
#include "pages/LocalPage.h"
#include "pages/SitePage.h"
#include "settings/Settings.h"
#include "tray/TimeWait.h"
#include "tray/TrayStatus.h"

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tovra {

class CMainWindowView;
class CTrayIcon;

// What the main window is built with besides the settings and the tray icon. The defaults are the
// program's; tests point the lookups at their own sites and the page at a folder of theirs.
struct MainDialogOptions {
    // The sites asked while the stored list is missing or damaged.
    std::vector<IpSite> builtInSites = DefaultIpSites();
    DWORD lookupDeadlineMs = CIpAddressChecker::kLookupDeadlineMs;
    unsigned postingIntervalMinutes = 5;
    EarlyCheckDelays earlyChecks;
    PostingCycleOptions cycle;
};

class CMainDialog : public Dialog {
public:
    // The tabs, left to right.
    enum Tab { kDetailsTab = 0, kConnectionTab = 1, kAdvancedTab = 2, kNamesTab = 3 };

    // How long Exit waits for each worker before it leaves it behind; a worker left behind holds
    // nothing of the window's (WorkerThread, UiInvoker).
    static constexpr DWORD kWorkerStopMs = 300;

    // settings and trayIcon belong to the application and must outlive the window.
    CMainDialog(HINSTANCE instance, Settings& settings, CTrayIcon& trayIcon, MainDialogOptions options = {});
    ~CMainDialog() override;

    // Creates the window without a parent, loads the settings, asks for the first check in the
    // stored detection mode and starts the checker and the timer. The window stays hidden unless
    // no site address is stored: a first run opens on the Connection tab. False when the window
    // could not be created. ICC_INTERNET_CLASSES and ICC_TAB_CLASSES must be registered before.
    bool Create();

    // The tray's Show: hides a visible window; shows a hidden one with the stored settings
    // (unsaved edits are dropped) and the log scrolled to its end.
    void ToggleMainWindow();
    // What a second start asks of the running copy: the window shown (as Show shows it when it was
    // hidden), restored when minimised, and in front.
    void ShowMainWindow();
    // The tray's Exit: stops the workers, then destroys the window.
    void ExitProgram();
    // Shows text in a message box owned by this window once the current message has been handled.
    // One box at a time: a box left open overnight must not gather another for every failed post.
    // Exit closes an open box with the window.
    void ShowMessageBoxLater(std::string_view text);

    // Registry -> settings -> controls, and back. Save is the only writer of the registry.
    void LoadSettings();
    void SaveSettings();

    // A detection as the posting cycle reports it: shown, and kept as the last addresses that
    // Save stores.
    void ShowDetectedAddress(std::string_view ipv4, std::string_view ipv6);

    // Selects a tab and shows its page alone.
    void SelectTab(Tab tab);
    // Shows the page of the selected tab and hides the other two.
    void ShowSelectedPage();
    Tab SelectedTab() const noexcept;

    CLocalPage& LocalPage() noexcept { return localPage_; }
    CSitePage& SitePage() noexcept { return sitePage_; }
    CAdvancedPage& AdvancedPage() noexcept { return advancedPage_; }
    CNamesPage& NamesPage() noexcept { return namesPage_; }
    CTrayIcon& TrayIcon() noexcept { return trayIcon_; }
    CTrayStatus& TrayStatus() noexcept { return trayStatus_; }

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(const NMHDR& header, LRESULT& result) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void OnOK() override;
    void OnDestroy() override;
    void OnDpiChanged() override { FitToDpi(); }

private:
    void OpenOnConnectionTab();
    void AddAboutToSystemMenu() const;
    void InsertTabs() const;
    void CreatePage(Dialog& page, bool created, bool visible) const;
    void PlacePage(HWND page, UINT showFlag) const;
    // Icons, page places and banner for the window's DPI: at creation and after each change.
    void FitToDpi();
    void StartWorkers();
    void StopWorkers() noexcept;
    // The session ends: Windows ends the process once WM_ENDSESSION returns, without WM_DESTROY.
    void EndSession() noexcept;
    void ShowAboutBox();
    void PaintIconic();
    HWND Tabs() const noexcept;

    const HINSTANCE instance_;
    Settings& settings_;
    CTrayIcon& trayIcon_;
    CTrayStatus trayStatus_;
    MainDialogOptions options_;
    UniqueIcon icon_;
    UniqueIcon smallIcon_;
    BannerPicture banner_;

    CLocalPage localPage_;
    CSitePage sitePage_;
    CAdvancedPage advancedPage_;
    CNamesPage namesPage_;

    // Settings -> the workers: a snapshot of what was loaded or saved.
    void HandSettingsToWorkers(bool loaded);

    std::unique_ptr<UiInvoker> invoker_;
    std::shared_ptr<CMainWindowView> view_;
    std::shared_ptr<CPostingCycle> cycle_;
    std::shared_ptr<CIpAddressChecker> checker_;
    std::shared_ptr<CTimeWait> timer_;
    bool stopped_ = false;       // the workers have been stopped; the window no longer takes their messages
    std::string messageBoxText_; // the box asked for or open; empty when none
};

} // namespace tovra
