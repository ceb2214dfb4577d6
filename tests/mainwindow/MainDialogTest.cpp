// The main window as the program runs it (Program): real pages, the real checker asking the
// loopback echo proxy, the real posting cycle uploading to the loopback FTP server, the registry
// of a scratch HKEY_CURRENT_USER. Driven with the messages the tray and the user send, read back
// from controls.

#include "app/Program.h"
#include "detection/IpSite.h"
#include "framework/Clock.h"
#include "framework/DisplayScale.h"
#include "framework/FixedText.h"
#include "framework/WideText.h"
#include "mainwindow/MainDialog.h"
#include "resources/AdvancedPageIds.h"
#include "resources/LocalPageIds.h"
#include "resources/MainDialogIds.h"
#include "resources/ResourceIds.h"
#include "resources/SitePageIds.h"
#include "resources/TrayMenuIds.h"
#include "settings/RegistryStore.h"
#include "tests/e2e/TrayAnchor.h"
#include "tests/pages/PageTestSupport.h"
#include "tests/settings/ScratchUserHive.h"
#include "tests/support/EchoProxyServer.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/MessagePump.h"
#include "tray/TrayIcon.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <memory>
#include <string>

namespace tovra {
namespace {

constexpr char kAddress[] = "84.12.3.7";
constexpr char kNewAddress[] = "84.12.3.99";
constexpr char kUnchanged[] = "Detected IP Address hasn't changed, and Force Upload was not turned on.";

CRegistryStore NamedStore() {
    CRegistryStore store;
    store.SetCompany(kCompanyName);
    store.SetProduct(kProductName);
    return store;
}

std::string StoredValue(const char* name) {
    char value[300] = {};
    NamedStore().ReadString(name, value, sizeof value);
    return value;
}

bool HasVisibleStyle(HWND window) {
    return (::GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::RegisterCommonControls();
        // Wine's WinINet looks at the proxy variable only when this key exists, and the scratch
        // hive starts empty.
        UniqueRegKey internetSettings;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER,
                                    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                                    nullptr, 0, KEY_ALL_ACCESS, nullptr, internetSettings.put(), nullptr),
                  ERROR_SUCCESS);
        echo.UseAsProxyForThisProcess();
        for (const IpSite& site : DefaultIpSites())
            echo.Answer(site.host, 200, kAddress);
        char temp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "tovra-main-" + std::to_string(::GetCurrentProcessId()) + "\\";
        ::CreateDirectoryA(folder.c_str(), nullptr);
    }

    void TearDown() override {
        program.reset();
        ::DeleteFileA((folder + "page.html").c_str());
        ::DeleteFileW((WidenAnsi(folder) + PageGenerator::kPageFileName).c_str());
        ::RemoveDirectoryA(folder.c_str());
    }

    // Web detection that finds kAddress, which is also the stored address: the first check ends
    // with the unchanged line and leaves the window as it was.
    void StoreQuietStart() {
        Store("GetWebAddress", "1");
        Store("LastIP", kAddress);
    }

    void Store(const char* name, const char* value) { ASSERT_TRUE(NamedStore().WriteString(name, value)); }

    // A template in the test's folder and the loopback FTP server as the site.
    void StoreSite(const test::FtpTestServer& ftp) {
        const std::string templatePath = folder + "page.html";
        const UniqueFileHandle file(::CreateFileA(templatePath.c_str(), GENERIC_WRITE, 0, nullptr,
                                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        ::WriteFile(file.get(), "<p><IPAddress></p>", 18, &written, nullptr);
        Store("SiteAddress", "127.0.0.1");
        Store("SitePort", std::to_string(ftp.Port()).c_str());
        Store("SiteUsername", ftp.User().c_str());
        Store("SitePassword", ftp.Password().c_str());
        Store("SiteRemotePath", "/ip.html");
        Store("LocalTemplateFile", templatePath.c_str());
    }

    void Start() {
        ProgramOptions options;
        options.lookupDeadlineMs = 5000;
        options.earlyChecks = {50, 50, 50};
        options.cycle.pageGenerator = PageGenerator(WidenAnsi(folder), WidenAnsi(folder), &CurrentLocalTime);
        options.cycle.uploadStepTimeoutMs = 5000;
        options.cycle.errorBox = [](const char*) {};
        program = std::make_unique<Program>(::GetModuleHandleA(nullptr), settings, tray, std::move(options));
        window = &program->MainWindow();
        ASSERT_TRUE(program->Start());
    }

    void StartQuietly() {
        StoreQuietStart();
        Start();
        ASSERT_TRUE(WaitForLog(kUnchanged)) << Log();
    }

    std::string Log() const { return Window(window->LocalPage().LogBox()).Text(); }
    bool WaitForLog(const std::string& part, std::size_t times = 1) const {
        return test::PumpUntil([&] { return Count(Log(), part) >= times; });
    }

    void Command(int id) const { window->SendMsg(WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    void Click(const Dialog& dialog, int id) const { Window(dialog.Item(id)).SendMsg(BM_CLICK); }

    void ChooseTab(int tab) const {
        const HWND tabs = window->Item(IDC_MAIN_TABS);
        ::SendMessageA(tabs, TCM_SETCURSEL, static_cast<WPARAM>(tab), 0);
        NMHDR change{tabs, IDC_MAIN_TABS, static_cast<UINT>(TCN_SELCHANGE)};
        window->SendMsg(WM_NOTIFY, IDC_MAIN_TABS, reinterpret_cast<LPARAM>(&change));
    }

    DWORD ExitDuringHangingUpload(test::FtpFault fault, const std::string& moment);

    // Sends Exit and returns how long it took, in milliseconds.
    DWORD TimeExit() const {
        const DWORD start = ::GetTickCount();
        Command(ID_TRAY_EXIT);
        return ::GetTickCount() - start;
    }

    tovra::testing::ScratchUserHive hive;
    test::EchoProxyServer echo;
    std::string folder;
    Settings settings;
    CTrayIcon tray;
    std::unique_ptr<Program> program;
    CMainDialog* window = nullptr;
};

TEST_F(MainDialogTest, StartsHiddenWithFourTabsTheDetailsPageAndTheTrayPointingHere) {
    // A site is stored: a first run would open the window instead.
    Store("SiteAddress", "ftp.example.net");
    StartQuietly();
    EXPECT_FALSE(window->IsVisible());
    EXPECT_EQ(tray.GetCommandWindow(), window->Handle());

    const HWND tabs = window->Item(IDC_MAIN_TABS);
    ASSERT_EQ(::SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0), 4);
    const char* const names[] = {"Details", "Connection", "Advanced", "Names"};
    for (int i = 0; i < 4; ++i) {
        char text[32] = {};
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        ::SendMessageA(tabs, TCM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        EXPECT_STREQ(text, names[i]);
    }
    EXPECT_EQ(window->SelectedTab(), CMainDialog::kDetailsTab);
    EXPECT_TRUE(HasVisibleStyle(window->LocalPage()));
    EXPECT_FALSE(HasVisibleStyle(window->SitePage()));
    EXPECT_FALSE(HasVisibleStyle(window->AdvancedPage()));

    // The page sits inside the tab control, below the row of tabs.
    RECT tabRect{}, pageRect{};
    ::GetWindowRect(tabs, &tabRect);
    ::GetWindowRect(window->LocalPage(), &pageRect);
    EXPECT_EQ(pageRect.left - tabRect.left, 10);
    EXPECT_EQ(pageRect.top - tabRect.top, 30);
}

// The size of the picture a bitmap static shows, and the size of the static itself.
SIZE PictureSize(HWND picture) {
    BITMAP bitmap{};
    ::GetObjectA(reinterpret_cast<HBITMAP>(::SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0)),
                 sizeof bitmap, &bitmap);
    return SIZE{bitmap.bmWidth, bitmap.bmHeight};
}
SIZE PlaceSize(HWND picture) {
    RECT place{};
    ::GetClientRect(picture, &place);
    return SIZE{place.right, place.bottom};
}
bool SameSize(SIZE a, SIZE b) {
    return a.cx == b.cx && a.cy == b.cy;
}

// On a monitor of another scale the dialog manager scales the window and the template's
// controls (per-monitor awareness); what the window placed and drew itself must follow.
TEST_F(MainDialogTest, BannerAndPagesFollowAChangeOfScale) {
    StartQuietly();
    const HWND banner = window->Item(IDC_MAIN_BANNER);
    ASSERT_TRUE(SameSize(PictureSize(banner), PlaceSize(banner))) << "drawn for its place, not stretched";

    // What the dialog manager does at 150 percent, without the monitor Wine cannot provide.
    const SIZE before = PlaceSize(banner);
    ::SetWindowPos(banner, nullptr, 0, 0, before.cx * 3 / 2, before.cy * 3 / 2, SWP_NOMOVE | SWP_NOZORDER);
    ::SetWindowPos(window->LocalPage(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT suggested{};
    ::GetWindowRect(window->Handle(), &suggested);
    window->SendMsg(kDpiChangedMessage, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));

    EXPECT_TRUE(test::PumpUntil([&] { return SameSize(PictureSize(banner), PlaceSize(banner)); }));
    EXPECT_EQ(PlaceSize(banner).cy, before.cy * 3 / 2);
    RECT tabRect{}, pageRect{};
    ::GetWindowRect(window->Item(IDC_MAIN_TABS), &tabRect);
    ::GetWindowRect(window->LocalPage(), &pageRect);
    EXPECT_EQ(pageRect.left - tabRect.left, ScaleForDpi(10, WindowDpi(window->Handle())));
}

TEST_F(MainDialogTest, SystemMenuBeginsWithAboutAndASeparator) {
    StartQuietly();
    const HMENU menu = ::GetSystemMenu(window->Handle(), FALSE);
    char text[64] = {};
    ::GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&About Tovra...");
    EXPECT_EQ(::GetMenuItemID(menu, 0), static_cast<UINT>(IDM_ABOUT_BOX));
    EXPECT_TRUE(::GetMenuState(menu, 1, MF_BYPOSITION) & MF_SEPARATOR);

    test::ModalDriver driver("About Tovra", [](HWND about) { ::PostMessageA(about, WM_COMMAND, IDOK, 0); });
    window->SendMsg(WM_SYSCOMMAND, IDM_ABOUT_BOX, 0);
    EXPECT_TRUE(driver.Found());
}

TEST_F(MainDialogTest, FirstCheckUsesTheStoredModeAndComparesWithTheStoredAddress) {
    StartQuietly();
    const std::string log = Log();
    EXPECT_NE(log.find("Asking " + DefaultIpSites()[0].host), std::string::npos);
    EXPECT_EQ(log.find("Connecting to"), std::string::npos);
    EXPECT_EQ(window->LocalPage().AddressText(), kAddress);
    EXPECT_TRUE(window->LocalPage().IsWebSelected());
    // Nothing stored: the Advanced page lists the built-in sites.
    EXPECT_EQ(window->AdvancedPage().Sites(), DefaultIpSites());
}

TEST_F(MainDialogTest, ShowTogglesAndBringsBackTheStoredSettingsDroppingEdits) {
    Store("SiteAddress", "ftp.example.net");
    StartQuietly();
    const CSitePage& site = window->SitePage();

    Command(ID_TRAY_SHOW);
    EXPECT_TRUE(window->IsVisible());
    EXPECT_EQ(window->SelectedTab(), CMainDialog::kDetailsTab);
    EXPECT_EQ(site.ItemText(IDC_SITE_ADDRESS), "ftp.example.net");
    EXPECT_EQ(site.ItemText(IDC_SITE_PORT), "21");

    site.SetItemText(IDC_SITE_ADDRESS, "typed.example.net");
    window->AdvancedPage().ShowSites({});
    Click(*window, IDCANCEL);
    EXPECT_FALSE(window->IsVisible());
    EXPECT_EQ(StoredValue("SiteAddress"), "ftp.example.net");

    Command(ID_TRAY_SHOW);
    EXPECT_TRUE(window->IsVisible());
    EXPECT_EQ(site.ItemText(IDC_SITE_ADDRESS), "ftp.example.net");
    EXPECT_EQ(window->AdvancedPage().Sites(), DefaultIpSites());

    // Show while visible hides; so does the close box, without saving.
    Command(ID_TRAY_SHOW);
    EXPECT_FALSE(window->IsVisible());
    Command(ID_TRAY_SHOW);
    site.SetItemText(IDC_SITE_ADDRESS, "typed.example.net");
    window->SendMsg(WM_CLOSE); // the dialog manager posts the Cancel click
    EXPECT_TRUE(test::PumpUntil([&] { return !window->IsVisible(); }));
    EXPECT_EQ(StoredValue("SiteAddress"), "ftp.example.net");
}

TEST_F(MainDialogTest, SaveStoresWhatTheControlsShowAndHides) {
    StartQuietly();
    Command(ID_TRAY_SHOW);
    const CSitePage& site = window->SitePage();
    const CAdvancedPage& advanced = window->AdvancedPage();
    site.SetItemText(IDC_SITE_ADDRESS, std::string(300, 'h'));
    site.SetItemText(IDC_SITE_PORT, "");
    site.SetItemText(IDC_SITE_PASSWORD, "pa ss");
    site.SetItemText(IDC_SITE_USERNAME, "user");
    site.SetItemText(IDC_SITE_REMOTE_PATH, "/pub/");
    site.SetItemText(IDC_SITE_TEMPLATE_FILE, "C:\\web\\page.htm");
    site.SetChecked(IDC_SITE_PASSIVE_MODE, false);
    advanced.SetItemText(IDC_PROXY_USERNAME, "proxy-user");
    advanced.SetItemText(IDC_PROXY_PASSWORD, "4711");
    advanced.SetChecked(IDC_FORCE_UPLOAD, true);
    const std::vector<IpSite> sites{{"mine.example", "/ip", IpSiteScheme::Https, 0}};
    window->AdvancedPage().ShowSites(sites);
    window->LocalPage().SelectMode(false);

    Click(*window, IDOK);
    EXPECT_FALSE(window->IsVisible());
    EXPECT_EQ(StoredValue("SiteAddress"), std::string(258, 'h'));
    EXPECT_EQ(StoredValue("SitePort"), "");
    EXPECT_EQ(StoredValue("SitePassword"), "pa ss");
    EXPECT_EQ(StoredValue("SitePasvMode"), "0");
    EXPECT_EQ(StoredValue("SiteUsername"), "user");
    EXPECT_EQ(StoredValue("SiteRemotePath"), "/pub/");
    EXPECT_EQ(StoredValue("LocalTemplateFile"), "C:\\web\\page.htm");
    EXPECT_EQ(StoredValue("ProxyUsername"), "proxy-user");
    EXPECT_EQ(StoredValue("ProxyPassword"), "4711");
    EXPECT_EQ(StoredValue("ForcePost"), "1");
    EXPECT_EQ(StoredValue("GetWebAddress"), "0");
    EXPECT_EQ(StoredValue("LastIP"), kAddress);
    EXPECT_EQ(FieldText(settings.SiteAddress), std::string(258, 'h'));
    EXPECT_EQ(settings.IpSites, sites);

    // Shown again from the registry; an empty stored port comes back as the default.
    Command(ID_TRAY_SHOW);
    EXPECT_EQ(site.ItemText(IDC_SITE_PORT), "21");
    EXPECT_EQ(site.ItemText(IDC_SITE_USERNAME), "user");
    EXPECT_EQ(site.ItemText(IDC_SITE_PASSWORD), "pa ss");
    EXPECT_EQ(site.ItemText(IDC_SITE_REMOTE_PATH), "/pub/");
    EXPECT_EQ(site.ItemText(IDC_SITE_TEMPLATE_FILE), "C:\\web\\page.htm");
    EXPECT_FALSE(site.IsChecked(IDC_SITE_PASSIVE_MODE));
    EXPECT_EQ(advanced.ItemText(IDC_PROXY_PASSWORD), "4711");
    EXPECT_TRUE(advanced.IsChecked(IDC_FORCE_UPLOAD));
    EXPECT_EQ(window->AdvancedPage().SiteList(), std::vector<std::string>{"https://mine.example/ip"});
    EXPECT_TRUE(window->LocalPage().IsLocalSelected());
}

TEST_F(MainDialogTest, ChoosingATabShowsItsPageAlone) {
    Store("SiteAddress", "ftp.example.net");
    StartQuietly();
    Command(ID_TRAY_SHOW);
    const HWND pages[] = {window->LocalPage(), window->SitePage(), window->AdvancedPage()};
    for (int tab : {2, 1, 0, 2}) {
        ChooseTab(tab);
        for (int page = 0; page < 3; ++page)
            EXPECT_EQ(::IsWindowVisible(pages[page]) != FALSE, page == tab)
                << "tab " << tab << ", page " << page;
    }
}

TEST_F(MainDialogTest, RadioButtonsRunDisplayOnlyChecksThatNeverUpload) {
    Store("ForcePost", "1");
    StoreQuietStart();
    Start();
    // Forced, the first check posts, and finds no site to post to.
    ASSERT_TRUE(WaitForLog("Invalid Site address")) << Log();
    for (const IpSite& site : DefaultIpSites())
        echo.Answer(site.host, 200, kNewAddress);
    Click(window->LocalPage(), IDC_LOCAL_USE_WEB);
    ASSERT_TRUE(test::PumpUntil([&] { return window->LocalPage().AddressText() == kNewAddress; }));

    // A second check runs only after the first has been handled completely, post included.
    for (const IpSite& site : DefaultIpSites())
        echo.Answer(site.host, 200, kAddress);
    Click(window->LocalPage(), IDC_LOCAL_USE_WEB);
    ASSERT_TRUE(test::PumpUntil([&] { return window->LocalPage().AddressText() == kAddress; }));

    EXPECT_EQ(Log().find("Connecting to"), std::string::npos);
    EXPECT_EQ(FieldText(settings.LastIP), kAddress);
}

TEST_F(MainDialogTest, IntervalTickChecksInTheModeOfTheWebButton) {
    StartQuietly();
    window->LocalPage().SelectMode(true);
    window->SendMsg(WM_INTERVAL_TICK, 0, 5);
    EXPECT_TRUE(WaitForLog("Checking IP Address..."));
    EXPECT_TRUE(WaitForLog(kUnchanged, 2));
}

// Waking from sleep checks a moment later, once for a burst of power messages; a check that then
// finds nothing is tried once more.
TEST_F(MainDialogTest, ResumeFromSleepChecksOnceAndAFailedCheckIsRetried) {
    StartQuietly();
    window->SendMsg(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
    window->SendMsg(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
    ASSERT_TRUE(WaitForLog(kUnchanged, 2));
    EXPECT_EQ(Count(Log(), "Resumed from sleep\r\n"), 1u);

    for (const IpSite& site : DefaultIpSites())
        echo.Answer(site.host, 404, "");
    window->SendMsg(WM_INTERVAL_TICK, 0, 5);
    EXPECT_TRUE(WaitForLog("Trying again after a failed check\r\n"));
    EXPECT_TRUE(WaitForLog("No IP Address could be detected.", 2));
}

TEST_F(MainDialogTest, APostSwitchesToDetailsWhileAnUnchangedCheckLeavesTheTab) {
    test::FtpTestServer ftp;
    StoreSite(ftp);
    StartQuietly();
    Command(ID_TRAY_SHOW);

    ChooseTab(CMainDialog::kConnectionTab);
    Command(ID_TRAY_POST_NOW);
    ASSERT_TRUE(WaitForLog(kUnchanged, 2));
    EXPECT_EQ(window->SelectedTab(), CMainDialog::kConnectionTab);

    for (const IpSite& site : DefaultIpSites())
        echo.Answer(site.host, 200, kNewAddress);
    Command(ID_TRAY_POST_NOW);
    ASSERT_TRUE(WaitForLog("Connecting to 127.0.0.1..."));
    EXPECT_EQ(window->SelectedTab(), CMainDialog::kDetailsTab);
    EXPECT_TRUE(::IsWindowVisible(window->LocalPage()));
    ASSERT_TRUE(WaitForLog("File uploaded successfully!")) << Log();
    EXPECT_EQ(ftp.ReadFile("ip.html"), std::string("<p>") + kNewAddress + "</p>");
}

TEST_F(MainDialogTest, ExitWhileALookupHangsEndsAtOnceAndPostsQuit) {
    Store("SiteAddress", "ftp.example.net");
    Store("GetWebAddress", "1");
    for (const IpSite& site : DefaultIpSites())
        echo.Hang(site.host);
    Start();
    window->SetQuitOnDestroy(true);
    ASSERT_TRUE(WaitForLog("Asking "));

    EXPECT_LT(TimeExit(), 1000u);
    EXPECT_FALSE(window->IsWindow());
    MSG quit{};
    EXPECT_TRUE(::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));

    // The abandoned lookup wakes up when the site goes away; it finds nobody to tell.
    echo.Stop();
    program.reset();
    test::PumpUntil([] { return false; }, 300);
}

// Starts a post from the button to a server that stops answering as `fault` says, waits for the
// log line `moment`, and says how long Exit then took.
DWORD MainDialogTest::ExitDuringHangingUpload(test::FtpFault fault, const std::string& moment) {
    test::FtpTestServer ftp;
    StoreSite(ftp);
    StartQuietly();
    ftp.SetFault(fault);
    Click(*window, IDC_MAIN_POST_NOW);
    EXPECT_TRUE(WaitForLog(moment));
    const DWORD took = TimeExit();
    EXPECT_FALSE(window->IsWindow());
    return took;
}

// Windows ends the process once WM_ENDSESSION returns: the upload is given up, and a page file
// left behind and the tray icon go before that, within the workers' bounds. The anchor keeps the
// icon from being the tray's last, whose removal Wine's explorer holds for 2 s on Xvfb.
TEST_F(MainDialogTest, TheEndOfTheSessionStopsTheWorkersAndRemovesThePageAndTheIcon) {
    test::FtpTestServer ftp;
    StoreSite(ftp);
    const test::TrayAnchor anchor("Tovra tests");
    ASSERT_TRUE(anchor.Added());
    ASSERT_TRUE(tray.Create(::GetModuleHandleA(nullptr), nullptr, WM_APP + 10, "Tovra", IDI_TRAY_NORMAL,
                            IDR_TRAY_MENU, false));
    StartQuietly();
    EXPECT_EQ(window->SendMsg(WM_QUERYENDSESSION, 0, 0), TRUE);
    ftp.SetFault(test::FtpFault::HangOnDirectory);
    Click(*window, IDC_MAIN_POST_NOW);
    ASSERT_TRUE(WaitForLog("Setting remote directory..."));
    const std::wstring page = WidenAnsi(folder) + PageGenerator::kPageFileName;
    UniqueFileHandle(::CreateFileW(page.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const DWORD start = ::GetTickCount();
    window->SendMsg(WM_ENDSESSION, TRUE, 0);
    EXPECT_LT(::GetTickCount() - start, 1000u);
    EXPECT_TRUE(tray.IsRemoved());
    EXPECT_EQ(::GetFileAttributesW(page.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(MainDialogTest, ExitAsAnUploadStartsEndsAtOnce) {
    EXPECT_LT(ExitDuringHangingUpload(test::FtpFault::Hang, "Connecting to 127.0.0.1..."), 1000u);
}

TEST_F(MainDialogTest, ExitWhileAnUploadWaitsForTheServerEndsAtOnce) {
    EXPECT_LT(ExitDuringHangingUpload(test::FtpFault::Hang, "Connected to server!"), 1000u);
}

// Once logged in, Wine's WinINet is not woken by closing its handles: Exit must not wait for the
// directory change or the store either.
TEST_F(MainDialogTest, ExitWhileTheServerNeverAnswersTheDirectoryChangeEndsAtOnce) {
    EXPECT_LT(ExitDuringHangingUpload(test::FtpFault::HangOnDirectory, "Setting remote directory..."), 1000u);
}

TEST_F(MainDialogTest, ExitWhileTheServerNeverAnswersTheStoreEndsAtOnce) {
    EXPECT_LT(ExitDuringHangingUpload(test::FtpFault::HangOnStore, "Uploading file..."), 1000u);
}

} // namespace
} // namespace tovra
