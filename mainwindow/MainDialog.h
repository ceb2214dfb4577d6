#pragma once
// The program's one main window (dialog 102, "Tovra"): the Details, Connection, Advanced and Names
// tabs, "&Post IP now", "&Save" and "&Cancel". It moves the settings between the registry and the
// pages, shows what the workers report, and hands every command to its owner (MainWindowOwner).
//
// The window starts hidden, since the program lives in the tray; only a first run, with no site
// stored, opens it on the Connection tab. Save (after saving), Cancel and the close box hide it,
// the tray's Show toggles it, and only the tray's Exit destroys it.
//
// Threads: a dialog of the UI thread; every member is for that thread. Workers reach it only
// through calls posted to that thread (CMainWindowView).

#include "detection/IpSite.h"
#include "framework/Dialog.h"
#include "framework/Win32Handles.h"
#include "mainwindow/BannerPicture.h"
#include "mainwindow/MainWindowOwner.h"
#include "pages/AdvancedPage.h"
#include "pages/NamesPage.h"
#include "pages/LocalPage.h"
#include "pages/SitePage.h"
#include "settings/Settings.h"
#include "tray/TrayStatus.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace tovra {

class CTrayIcon;

class CMainDialog : public Dialog {
public:
    // The tabs, left to right.
    enum Tab { kDetailsTab = 0, kConnectionTab = 1, kAdvancedTab = 2, kNamesTab = 3 };

    // settings, trayIcon and owner must outlive the window. builtInSites: the sites listed while
    // the stored list is missing or damaged.
    CMainDialog(HINSTANCE instance, Settings& settings, CTrayIcon& trayIcon, MainWindowOwner& owner,
                std::vector<IpSite> builtInSites = DefaultIpSites());
    ~CMainDialog() override;

    // Creates the hidden window without a parent, with its pages; the settings come with the
    // first LoadSettings. False when the window could not be created. ICC_INTERNET_CLASSES and
    // ICC_TAB_CLASSES must be registered before.
    bool Create();

    // Shown, in front, on the Connection tab with the focus in the site address: where a new user
    // has to begin.
    void OpenOnConnectionTab();
    // The tray's Show: hides a visible window; shows a hidden one with the stored settings
    // (unsaved edits are dropped) and the log scrolled to its end.
    void ToggleMainWindow();
    // What a second start asks of the running copy: the window shown (as Show shows it when it was
    // hidden), restored when minimised, and in front.
    void ShowMainWindow();
    // Shows text in a message box owned by this window once the current message has been handled.
    // One box at a time: a box left open overnight must not gather another for every failed post.
    // Exit closes an open box with the window.
    void ShowMessageBoxLater(std::string_view text);

    // Registry -> settings -> controls, and back; each hands the owner a snapshot of the result.
    // Save is the only writer of the registry.
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
    void AddAboutToSystemMenu() const;
    void InsertTabs() const;
    void CreatePage(Dialog& page, bool created, bool visible) const;
    void PlacePage(HWND page, UINT showFlag) const;
    // Icons, page places and banner for the window's DPI: at creation and after each change.
    void FitToDpi();
    void ShowAboutBox();
    void PaintIconic();
    HWND Tabs() const noexcept;

    const HINSTANCE instance_;
    Settings& settings_;
    CTrayIcon& trayIcon_;
    CTrayStatus trayStatus_;
    MainWindowOwner& owner_;
    const std::vector<IpSite> builtInSites_;
    UniqueIcon icon_;
    UniqueIcon smallIcon_;
    BannerPicture banner_;

    CLocalPage localPage_;
    CSitePage sitePage_;
    CAdvancedPage advancedPage_;
    CNamesPage namesPage_;

    bool closing_ = false;       // Exit or the session's end has begun: no more boxes
    std::string messageBoxText_; // the box asked for or open; empty when none
};

} // namespace tovra
