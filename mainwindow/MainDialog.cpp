#include "mainwindow/MainDialog.h"

#include "cycle/PostingCycle.h"
#include "framework/DisplayScale.h"
#include "framework/FixedText.h"
#include "framework/WindowPlacement.h"
#include "mainwindow/AboutDialog.h"
#include "mainwindow/HelpFile.h"
#include "mainwindow/SettingsPages.h"
#include "names/DnsNameStore.h"
#include "resources/MainDialogIds.h"
#include "resources/ResourceIds.h"
#include "resources/SitePageIds.h"
#include "resources/TrayMenuIds.h"
#include "settings/RegistryStore.h"
#include "settings/SettingsRegistry.h"
#include "tray/TrayIcon.h"

#include <commctrl.h>

#include <memory>
#include <utility>

namespace tovra {
namespace {

// Where a page sits, in pixels at 96 dots per inch from the tab control's top-left corner: inside
// its border and below the row of tabs. The row grows with the display's scale, and so do these.
constexpr int kPageOffsetX = 10;
constexpr int kPageOffsetY = 30;

UniqueIcon LoadIconForDpi(HINSTANCE instance, int metric, UINT dpi) {
    const int size = SystemMetricForDpi(metric, dpi);
    return UniqueIcon(
        static_cast<HICON>(::LoadImageA(instance, MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON, size, size, 0)));
}

// Posted to the window by ShowMessageBoxLater. It carries nothing: the text waits in the window,
// so the same number posted by another program shows nothing.
constexpr UINT WM_SHOW_MESSAGE_BOX = WM_APP + 1;

} // namespace

CMainDialog::CMainDialog(HINSTANCE instance, Settings& settings, CTrayIcon& trayIcon, MainWindowOwner& owner,
                         std::vector<IpSite> builtInSites)
    : instance_(instance), settings_(settings), trayIcon_(trayIcon), trayStatus_(trayIcon), owner_(owner),
      builtInSites_(std::move(builtInSites)),
      localPage_([this](bool useWeb) { owner_.CheckAddressOnly(useWeb); }) {}

CMainDialog::~CMainDialog() {
    // The base destructor cannot reach OnDestroy any more; the pages go with their parent.
    Destroy();
}

bool CMainDialog::Create() {
    return RegisterDialogClass(instance_, TOVRA_MAIN_WINDOW_CLASS) &&
           Dialog::Create(instance_, IDD_MAIN, nullptr);
}

void CMainDialog::OpenOnConnectionTab() {
    SelectTab(kConnectionTab);
    Show(SW_SHOW);
    ::SetForegroundWindow(Handle());
    ::SendMessageA(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(sitePage_.Item(IDC_SITE_ADDRESS)), TRUE);
}

HWND CMainDialog::Tabs() const noexcept {
    return Item(IDC_MAIN_TABS);
}

bool CMainDialog::OnInit() {
    // The tray's commands come here.
    trayIcon_.SetCommandWindow(Handle());

    CenterWindow(Handle(), nullptr);
    AddAboutToSystemMenu();

    InsertTabs();
    CreatePage(localPage_, localPage_.Create(instance_, Handle()), true);
    CreatePage(sitePage_, sitePage_.Create(instance_, Handle()), false);
    CreatePage(advancedPage_, advancedPage_.Create(instance_, Handle()), false);
    CreatePage(namesPage_, namesPage_.Create(instance_, Handle()), false);
    FitToDpi();

    // No focus yet: the dialog manager would make the hidden window active to give it, and an
    // active window makes the input method load COM (ole32 and rpcrt4, 1.2 MB) into a program
    // that may never be opened. Showing the window activates it, and the first control then gets
    // the focus all the same.
    return false;
}

void CMainDialog::AddAboutToSystemMenu() const {
    char text[128] = {};
    if (::LoadStringA(instance_, IDS_ABOUT_MENU_ITEM, text, sizeof text) <= 0)
        return;
    const HMENU menu = ::GetSystemMenu(Handle(), FALSE);
    if (!menu)
        return;
    ::InsertMenuA(menu, 0, MF_BYPOSITION | MF_STRING, IDM_ABOUT_BOX, text);
    ::InsertMenuA(menu, 1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
}

void CMainDialog::InsertTabs() const {
    const char* const names[] = {"Details", "Connection", "Advanced", "Names"};
    for (int index = 0; index < 4; ++index) {
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(names[index]);
        ::SendMessageA(Tabs(), TCM_INSERTITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    }
    ::SendMessageA(Tabs(), TCM_SETCURSEL, kDetailsTab, 0);
}

void CMainDialog::CreatePage(Dialog& page, bool created, bool visible) const {
    if (created)
        PlacePage(page, visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
}

void CMainDialog::PlacePage(HWND page, UINT showFlag) const {
    RECT tabs{};
    ::GetWindowRect(Tabs(), &tabs);
    ::MapWindowPoints(nullptr, Handle(), reinterpret_cast<POINT*>(&tabs), 2);
    const UINT dpi = WindowDpi(Handle());
    // Above the tab control in the stacking order, or the control would paint over the page.
    ::SetWindowPos(page, HWND_TOP, tabs.left + ScaleForDpi(kPageOffsetX, dpi),
                   tabs.top + ScaleForDpi(kPageOffsetY, dpi), 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | showFlag);
}

void CMainDialog::FitToDpi() {
    const UINT dpi = WindowDpi(Handle());
    UniqueIcon icon = LoadIconForDpi(instance_, SM_CXICON, dpi);
    UniqueIcon smallIcon = LoadIconForDpi(instance_, SM_CXSMICON, dpi);
    SendMsg(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon.get()));
    SendMsg(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.get()));
    // The window has let go of the icons it showed before; now they may go.
    icon_ = std::move(icon);
    smallIcon_ = std::move(smallIcon);

    for (HWND page : {localPage_.Handle(), sitePage_.Handle(), advancedPage_.Handle(), namesPage_.Handle()})
        if (page != nullptr)
            PlacePage(page, 0);
    banner_.Fill(Item(IDC_MAIN_BANNER));
}

void CMainDialog::ShowMessageBoxLater(std::string_view text) {
    if (closing_ || text.empty() || !messageBoxText_.empty())
        return;
    messageBoxText_ = text;
    ::PostMessageA(Handle(), WM_SHOW_MESSAGE_BOX, 0, 0);
}

void CMainDialog::ToggleMainWindow() {
    if (IsVisible()) {
        Hide();
        return;
    }
    ShowMainWindow();
}

void CMainDialog::ShowMainWindow() {
    if (!IsVisible()) {
        LoadSettings();
        Show(SW_SHOW);
        localPage_.ScrollLogToEnd();
    } else if (::IsIconic(Handle())) {
        Show(SW_RESTORE);
    }
    // Asked from the tray, whose menu had the focus, or by a second start that allowed us the
    // foreground: bring the window to the user.
    ::SetForegroundWindow(Handle());
}

void CMainDialog::LoadSettings() {
    // The names are settings like the others, kept in subkeys of their own; the publishing worker
    // reads them from there at each check.
    namesPage_.ShowNames(DnsNameStore(std::string(CRegistryStore().KeyPath())).Load().names);
    const bool loaded = LoadSettingsFromRegistry(CRegistryStore(), settings_, builtInSites_);
    ShowSettings(settings_, SettingsPages{localPage_, sitePage_, advancedPage_});
    owner_.UseSettings(std::make_shared<const Settings>(settings_), loaded);
}

void CMainDialog::SaveSettings() {
    DnsNameStore(std::string(CRegistryStore().KeyPath())).Save(namesPage_.Names());
    TakeSettings(settings_, SettingsPages{localPage_, sitePage_, advancedPage_});
    SaveSettingsToRegistry(CRegistryStore(), settings_);
    owner_.UseSettings(std::make_shared<const Settings>(settings_), false);
}

void CMainDialog::ShowDetectedAddress(std::string_view ipv4, std::string_view ipv6) {
    localPage_.SetAddressText(std::string(ipv4));
    localPage_.SetIpv6AddressText(std::string(ipv6));
    CopyBounded(settings_.LastIP, ipv4);
    CopyBounded(settings_.LastIPv6, ipv6);
}

void CMainDialog::SelectTab(Tab tab) {
    // Selecting by program sends no TCN_SELCHANGE.
    ::SendMessageA(Tabs(), TCM_SETCURSEL, static_cast<WPARAM>(tab), 0);
    ShowSelectedPage();
}

CMainDialog::Tab CMainDialog::SelectedTab() const noexcept {
    return static_cast<Tab>(::SendMessageA(Tabs(), TCM_GETCURSEL, 0, 0));
}

void CMainDialog::ShowSelectedPage() {
    const LRESULT selected = ::SendMessageA(Tabs(), TCM_GETCURSEL, 0, 0);
    if (selected < kDetailsTab || selected > kNamesTab)
        return;
    localPage_.Show(selected == kDetailsTab ? SW_SHOW : SW_HIDE);
    sitePage_.Show(selected == kConnectionTab ? SW_SHOW : SW_HIDE);
    advancedPage_.Show(selected == kAdvancedTab ? SW_SHOW : SW_HIDE);
    namesPage_.Show(selected == kNamesTab ? SW_SHOW : SW_HIDE);
}

bool CMainDialog::OnCommand(int id, int code, HWND) {
    // Tray menu choices arrive with code 0, as menu commands do; so does a button's click.
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_MAIN_POST_NOW:
        owner_.PostNow();
        return true;
    case ID_TRAY_EXIT:
        closing_ = true;
        owner_.Exit();
        return true;
    case ID_TRAY_SHOW:
        ToggleMainWindow();
        return true;
    case IDM_SHOW_MAIN_WINDOW:
        ShowMainWindow();
        return true;
    case ID_TRAY_POST_NOW:
        owner_.CheckAndPost();
        return true;
    case ID_TRAY_ABOUT:
        ShowAboutBox();
        return true;
    case ID_TRAY_HELP:
        OpenHelpFile(Handle());
        return true;
    default:
        return false;
    }
}

bool CMainDialog::OnNotify(const NMHDR& header, LRESULT& result) {
    if (header.idFrom != IDC_MAIN_TABS || header.code != static_cast<UINT>(TCN_SELCHANGE))
        return false;
    ShowSelectedPage();
    result = 0;
    return true;
}

bool CMainDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != IDM_ABOUT_BOX)
            return false;
        ShowAboutBox();
        result = 0;
        return true;
    case WM_PAINT:
        if (!::IsIconic(Handle()))
            return false;
        PaintIconic();
        result = 0;
        return true;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<INT_PTR>(icon_.get());
        return true;
    case WM_SHOW_MESSAGE_BOX:
        // Exit may come while the box is open: destroying this window closes the box it owns, and
        // nothing here touches the window after the box returns.
        if (!closing_ && !messageBoxText_.empty())
            ::MessageBoxA(Handle(), messageBoxText_.c_str(), "Tovra", MB_OK);
        messageBoxText_.clear();
        result = 0;
        return true;
    case WM_QUERYENDSESSION:
        // Nothing here needs the user's say before the session ends.
        result = TRUE;
        return true;
    case WM_ENDSESSION:
        if (wParam) {
            closing_ = true;
            owner_.EndSession();
        }
        result = 0;
        return true;
    case WM_INTERVAL_TICK:
        result = owner_.HandleIntervalTick(wParam);
        return true;
    case WM_POWERBROADCAST:
        // Time asleep does not count towards the interval, and the address may well have changed
        // meanwhile. Every resume brings PBT_APMRESUMEAUTOMATIC, with or without a user.
        if (wParam == PBT_APMRESUMEAUTOMATIC)
            owner_.ScheduleCheck(CheckReason::ResumedFromSleep);
        return false;
    default:
        return false;
    }
}

void CMainDialog::OnOK() {
    SaveSettings();
    Dialog::OnOK(); // hides the window
}

void CMainDialog::OnDestroy() {
    // Destroyed some other way than Exit: the workers still stop before the window and its pages go.
    closing_ = true;
    owner_.MainWindowDestroyed();
}

void CMainDialog::ShowAboutBox() {
    CAboutDialog about;
    about.Show(instance_, Handle());
}

void CMainDialog::PaintIconic() {
    PAINTSTRUCT paint{};
    const HDC dc = ::BeginPaint(Handle(), &paint);
    SendMsg(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc));
    RECT client{};
    ::GetClientRect(Handle(), &client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, icon_.get());
    ::EndPaint(Handle(), &paint);
}

} // namespace tovra
