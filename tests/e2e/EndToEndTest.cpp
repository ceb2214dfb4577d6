#include "tests/e2e/TovraProcess.h"

#include "cycle/LogFile.h"
#include "detection/IpAddressChecker.h"
#include "detection/SiteUrl.h"
#include "resources/AddIpSiteDialogIds.h"
#include "resources/AdvancedPageIds.h"
#include "resources/MainDialogIds.h"
#include "resources/NamesPageIds.h"
#include "resources/SitePageIds.h"
#include "resources/TrayMenuIds.h"
#include "names/DnsNameStore.h"
#include "tests/support/DnsServiceFake.h"
#include "tests/support/EchoProxyServer.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/TrustedAuthority.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

namespace tovra::test {
namespace {

// The first of the built-in echo sites; the others are never asked when it answers.
constexpr char kFirstEchoHost[] = "ifconfig.me";
constexpr char kTemplate[] = "<html>IP <IPAddress> at <time></html>";

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        echo.UseAsProxyForThisProcess();
        echo.Answer(kFirstEchoHost, 200, "198.51.100.23\n");
        templatePath = ftp.HomeWindowsPath() + "\\..\\tovra-e2e-template-" +
                       std::to_string(::GetCurrentProcessId()) + ".html";
        std::ofstream(templatePath, std::ios::binary) << kTemplate;
    }
    void TearDown() override { ::DeleteFileA(templatePath.c_str()); }

    // A configured site on the local server, web detection, the page stored as /ip.html.
    void StoreSite(const std::string& address = "127.0.0.1") {
        registry.SetFtpSite(ftp, "/ip.html", templatePath, address);
    }

    bool WaitForPage(const std::string& address, std::chrono::milliseconds timeout = 30s) {
        return WaitUntil(
            [&] {
                return ftp.FileExists("ip.html") &&
                       ftp.ReadFile("ip.html").find("IP " + address + " at ") != std::string::npos;
            },
            timeout);
    }

    TestRegistry registry;
    FtpTestServer ftp;
    EchoProxyServer echo;
    std::string templatePath;
};

TEST_F(EndToEndTest, StartsInTheTrayWithTheWindowHiddenAndUploadsTheWebAddress) {
    StoreSite();
    TovraProcess tovra;
    HWND main = tovra.WaitForMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(::IsWindowVisible(main));
    EXPECT_TRUE(WaitUntil([&] { return tovra.HasTrayIcon(); }, 15s));

    ASSERT_TRUE(WaitForPage("198.51.100.23"));
    const auto asked = echo.Requests();
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.front().host, kFirstEchoHost);
    EXPECT_EQ(asked.front().userAgent, "Tovra");
    EXPECT_FALSE(::IsWindowVisible(main));
}

TEST_F(EndToEndTest, AFirstStartWithNoSiteStoredOpensTheWindowOnTheConnectionTab) {
    TovraProcess tovra;
    HWND main = tovra.WaitForMainWindow();
    ASSERT_NE(main, nullptr);
    // The start-up check, finding no site to post to, may pass through the Details tab on its way
    // back to this one: poll for the whole picture rather than look once.
    EXPECT_TRUE(WaitUntil(
        [&] {
            return ::IsWindowVisible(main) && ::IsWindowVisible(tovra.Control(IDC_SITE_ADDRESS)) &&
                   ::SendMessageA(tovra.Control(IDC_MAIN_TABS), TCM_GETCURSEL, 0, 0) == 1;
        },
        15s));
}

TEST_F(EndToEndTest, LocalDetectionUploadsTheInterfaceAddress) {
    StoreSite();
    registry.Set("GetWebAddress", "0");
    const std::string local = CIpAddressChecker::FindLocalAddress();
    TovraProcess tovra;
    if (local.empty()) {
        EXPECT_TRUE(tovra.WaitForLogLine("No IP Address could be detected.", 30s));
        EXPECT_FALSE(ftp.FileExists("ip.html"));
    } else {
        EXPECT_TRUE(WaitForPage(local));
    }
    EXPECT_TRUE(echo.Requests().empty());
}

TEST_F(EndToEndTest, AnUnchangedAddressIsNotUploadedUnlessForced) {
    StoreSite();
    registry.Set("LastIP", "198.51.100.23");
    {
        TovraProcess tovra;
        ASSERT_TRUE(tovra.WaitForMainWindow());
        EXPECT_TRUE(tovra.WaitForLogLine(
            "Detected IP Address hasn't changed, and Force Upload was not turned on.", 30s));
        EXPECT_FALSE(ftp.FileExists("ip.html"));
    }
    registry.Set("ForcePost", "1");
    TovraProcess forced;
    EXPECT_TRUE(WaitForPage("198.51.100.23"));
}

TEST_F(EndToEndTest, PostNowFromTheTrayAndFromTheWindowEachUpload) {
    StoreSite();
    TovraProcess tovra;
    ASSERT_TRUE(tovra.WaitForMainWindow());
    ASSERT_TRUE(WaitForPage("198.51.100.23"));

    // The tray's item checks again: a new address is uploaded.
    echo.Answer(kFirstEchoHost, 200, "198.51.100.24");
    tovra.SendTrayCommand(ID_TRAY_POST_NOW);
    EXPECT_TRUE(WaitForPage("198.51.100.24"));

    // The window's button posts the address it holds, changed or not.
    ASSERT_TRUE(WaitUntil(
        [&] { return tovra.LogText().find("File uploaded successfully!") != std::string::npos; }, 5s));
    ftp.SetFault(FtpFault::None);
    ASSERT_TRUE(::DeleteFileA((ftp.HomeWindowsPath() + "\\ip.html").c_str()));
    tovra.Click(IDC_MAIN_POST_NOW);
    EXPECT_TRUE(WaitForPage("198.51.100.24"));
}

TEST_F(EndToEndTest, ASavedSiteAddressIsStoredAndUsedByTheNextPost) {
    // Nothing listens there: the first post fails.
    StoreSite("127.0.0.2");
    TovraProcess tovra;
    ASSERT_TRUE(tovra.WaitForMainWindow());
    ASSERT_TRUE(tovra.WaitForLogLine("Connecting to 127.0.0.2...", 30s));

    tovra.SendTrayCommand(ID_TRAY_SHOW);
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(tovra.MainWindow()) != FALSE; }, 5s));
    tovra.SetControlText(IDC_SITE_ADDRESS, "127.0.0.1");
    tovra.Click(IDOK);
    ASSERT_TRUE(WaitUntil([&] { return registry.Get("SiteAddress") == "127.0.0.1"; }, 5s))
        << "site address field: " << tovra.ControlText(IDC_SITE_ADDRESS)
        << "\nregistry: " << registry.Get("SiteAddress")
        << "\nvisible: " << ::IsWindowVisible(tovra.MainWindow()) << "\nlog:\n"
        << tovra.LogText();
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(tovra.MainWindow()) == FALSE; }, 5s));

    tovra.Click(IDC_MAIN_POST_NOW);
    EXPECT_TRUE(WaitForPage("198.51.100.23"));
}

// The texts of another process's list box (Wine hands them across as UTF-16 only).
std::vector<std::string> ListBoxEntries(HWND list) {
    std::vector<std::string> entries;
    const LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[600] = {};
        if (::SendMessageW(list, LB_GETTEXTLEN, i, 0) >= 600)
            continue;
        ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.emplace_back(text, text + ::wcslen(text)); // URLs are ASCII
    }
    return entries;
}

std::string Text(HWND control) {
    char text[300] = {};
    ::SendMessageA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

TEST_F(EndToEndTest, ASiteAddedInTheWindowAndSavedIsAskedByTheNextPostAndListedAfterARestart) {
    StoreSite();
    std::vector<std::string> expected;
    for (const IpSite& site : DefaultIpSites())
        expected.push_back(SiteUrl(site));
    expected.push_back("mine.example:8080/where");
    {
        TovraProcess tovra;
        ASSERT_TRUE(tovra.WaitForMainWindow());
        ASSERT_TRUE(WaitForPage("198.51.100.23"));
        // From now on only the user's site knows the address (the others answer 404 or 502).
        echo.Answer(kFirstEchoHost, 404, "");
        echo.Answer("mine.example", 200, "198.51.100.77");

        tovra.SendTrayCommand(ID_TRAY_SHOW);
        ASSERT_NE(tovra.Control(IDC_IP_SITE_ADD), nullptr);
        tovra.PressPageButton(IDC_IP_SITE_ADD);
        const HWND dialog = tovra.WaitForDialog("Add IP Site", 10s);
        ASSERT_NE(dialog, nullptr);
        ::SendMessageA(::GetDlgItem(dialog, IDC_ADD_SITE_ADDRESS), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>("http://Mine.Example:8080"));
        ::SendMessageA(::GetDlgItem(dialog, IDC_ADD_SITE_PATH), WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>("where"));
        ::PostMessageA(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }, 10s))
            << "hint: " << Text(::GetDlgItem(dialog, IDC_ADD_SITE_HINT))
            << ", address: " << Text(::GetDlgItem(dialog, IDC_ADD_SITE_ADDRESS))
            << ", add enabled: " << ::IsWindowEnabled(::GetDlgItem(dialog, IDOK));
        EXPECT_EQ(ListBoxEntries(tovra.Control(IDC_IP_SITE_LIST)), expected);
        tovra.Click(IDOK);
        ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(tovra.MainWindow()) == FALSE; }, 5s));

        tovra.SendTrayCommand(ID_TRAY_POST_NOW);
        EXPECT_TRUE(WaitForPage("198.51.100.77")) << tovra.LogText();
        EXPECT_TRUE(tovra.WaitForLogLine("Asking mine.example:8080/where for my IP Address...", 1s));
        const auto asked = echo.Requests();
        ASSERT_FALSE(asked.empty());
        EXPECT_EQ(asked.back().requestLine, "GET http://mine.example:8080/where HTTP/1.1");
        tovra.SendTrayCommand(ID_TRAY_EXIT);
        ASSERT_TRUE(tovra.WaitForExit(10s));
    }
    TovraProcess restarted;
    ASSERT_TRUE(restarted.WaitForMainWindow());
    EXPECT_TRUE(
        WaitUntil([&] { return ListBoxEntries(restarted.Control(IDC_IP_SITE_LIST)) == expected; }, 10s));
}

// A name entered in the window and saved is updated at the next check, though the address did not
// change; its token is stored (protected: DnsNameStoreTest reads the raw value) and shows neither
// in the window nor in the log.
TEST_F(EndToEndTest, ANameAddedInTheWindowAndSavedIsUpdatedByTheNextCheck) {
    constexpr char kToken[] = "duck-T0ken-e2e";
    DnsServiceFake service("unused", kToken);
    const TrustedAuthority trust(service.AuthorityCertificate());
    echo.SetNoProxy("localhost"); // the service is asked directly, over TLS
    StoreSite();
    TovraProcess tovra;
    ASSERT_TRUE(tovra.WaitForMainWindow());
    ASSERT_TRUE(WaitForPage("198.51.100.23"));

    tovra.SendTrayCommand(ID_TRAY_SHOW);
    ASSERT_NE(tovra.Control(IDC_NAME_ADD), nullptr);
    tovra.PressPageButton(IDC_NAME_ADD);
    const HWND dialog = tovra.WaitForDialog("DNS Name", 10s);
    ASSERT_NE(dialog, nullptr);
    const HWND services = ::GetDlgItem(dialog, IDC_NAME_SERVICE);
    const LRESULT duck = ::SendMessageA(services, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>("DuckDNS"));
    ASSERT_NE(duck, CB_ERR);
    ::SendMessageA(services, CB_SETCURSEL, static_cast<WPARAM>(duck), 0);
    ::SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_NAME_SERVICE, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(services));
    const std::string server = service.Server();
    ::SendMessageA(::GetDlgItem(dialog, IDC_NAME_SERVER), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(server.c_str()));
    ::SendMessageA(::GetDlgItem(dialog, IDC_NAME_HOST), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("mine"));
    ::SendMessageA(::GetDlgItem(dialog, IDC_NAME_SECRET), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kToken));
    ::PostMessageA(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }, 10s))
        << Text(::GetDlgItem(dialog, IDC_NAME_HINT));
    tovra.Click(IDOK);
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(tovra.MainWindow()) == FALSE; }, 5s));

    tovra.SendTrayCommand(ID_TRAY_POST_NOW);
    EXPECT_TRUE(tovra.WaitForLogLine("mine updated to 198.51.100.23.", 30s)) << tovra.LogText();
    const std::vector<DnsServiceRequest> asked = service.Requests();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].path, std::string("/update?domains=mine&token=") + kToken + "&ip=198.51.100.23");

    const DnsNameStore::Loaded stored = DnsNameStore("SOFTWARE\\Brannik\\Tovra").Load();
    ASSERT_EQ(stored.names.size(), 1u);
    EXPECT_EQ(stored.names[0].secret, kToken);
    EXPECT_EQ(stored.names[0].lastAddress, "198.51.100.23");
    EXPECT_EQ(tovra.LogText().find(kToken), std::string::npos);
    for (const std::string& entry : ListBoxEntries(tovra.Control(IDC_NAME_LIST)))
        EXPECT_EQ(entry.find(kToken), std::string::npos) << entry;
}

TEST_F(EndToEndTest, ASecondCopyShowsTheRunningCopysWindowAndEnds) {
    StoreSite();
    TovraProcess first;
    const HWND window = first.WaitForMainWindow();
    ASSERT_NE(window, nullptr);
    // Once it has posted, the running copy has long published its window for later copies.
    ASSERT_TRUE(WaitForPage("198.51.100.23"));
    ASSERT_FALSE(::IsWindowVisible(window));

    TovraProcess second;
    EXPECT_TRUE(second.WaitForExit(15s));
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_TRUE(first.IsRunning());
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(window) != FALSE; }, 5s));
}

// The windows of tovra.exe that answer messages from other programs: any program may send them
// anything, and a parameter that would be an address in our process is only a number in theirs.
TEST_F(EndToEndTest, MessagesFromAnotherProgramWithForeignParametersAreSurvived) {
    StoreSite();
    TovraProcess tovra;
    const HWND main = tovra.WaitForMainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitForPage("198.51.100.23"));
    const HWND tray = tovra.TrayWindow();
    HWND invoker = nullptr;
    while ((invoker = ::FindWindowExA(HWND_MESSAGE, invoker, "Tovra.UiInvoker", nullptr)) != nullptr) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(invoker, &owner);
        if (owner == tovra.Id())
            break;
    }
    ASSERT_TRUE(tray != nullptr && invoker != nullptr);

    constexpr LPARAM kForeign = 0x10;
    auto send = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        DWORD_PTR ignored = 0;
        return ::SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &ignored) != 0;
    };
    for (UINT message = WM_USER; message < WM_USER + 0x400; ++message) {
        ASSERT_TRUE(send(main, message, kForeign, kForeign)) << message;
        ASSERT_TRUE(send(tray, message, kForeign, kForeign)) << message;
    }
    const UINT invoke = ::RegisterWindowMessageA("Tovra.UiInvoker.Invoke");
    for (WPARAM number = 0; number < 64; ++number)
        ASSERT_TRUE(send(invoker, invoke, number, kForeign)) << number;
    EXPECT_TRUE(send(main, WM_INITDIALOG, 0, kForeign));
    CREATESTRUCTA create{};
    create.lpCreateParams = reinterpret_cast<void*>(kForeign);
    EXPECT_TRUE(send(tray, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create)));

    EXPECT_TRUE(tovra.IsRunning());
    EXPECT_TRUE(tovra.HasTrayIcon());
    tovra.SendTrayCommand(ID_TRAY_EXIT);
    EXPECT_TRUE(tovra.WaitForExit(5s));
    EXPECT_EQ(tovra.ExitCode(), 0u);
}

TEST_F(EndToEndTest, TwoCopiesStartedTogetherLeaveExactlyOne) {
    StoreSite();
    auto a = std::make_unique<TovraProcess>();
    auto b = std::make_unique<TovraProcess>();
    ASSERT_TRUE(WaitUntil([&] { return !a->IsRunning() || !b->IsRunning(); }, 20s));
    TovraProcess& survivor = a->IsRunning() ? *a : *b;
    EXPECT_TRUE(survivor.WaitForMainWindow());
    EXPECT_TRUE(survivor.IsRunning());
    EXPECT_NE(a->IsRunning(), b->IsRunning());
}

TEST_F(EndToEndTest, UninstallInAnyLetterCaseRemovesTheSettingsAndLeavesARunningCopyRunning) {
    StoreSite();
    TovraProcess running;
    ASSERT_TRUE(running.WaitForMainWindow());
    registry.SetRunValue("tovra.exe");

    TovraProcess uninstall("/UnInstall");
    ASSERT_TRUE(uninstall.WaitForExit(15s));
    EXPECT_EQ(uninstall.ExitCode(), 0u);
    EXPECT_EQ(uninstall.MainWindow(), nullptr);
    EXPECT_FALSE(registry.SettingsKeyExists());
    EXPECT_FALSE(registry.RunValueExists());
    EXPECT_TRUE(registry.CompanyKeyExists());
    EXPECT_TRUE(running.IsRunning());
}

TEST_F(EndToEndTest, UninstallFollowedByABlankIsANormalRun) {
    StoreSite();
    TovraProcess running;
    ASSERT_TRUE(running.WaitForMainWindow());
    TovraProcess notUninstall("uninstall ");
    ASSERT_TRUE(notUninstall.WaitForExit(15s));
    EXPECT_TRUE(registry.SettingsKeyExists());
    EXPECT_TRUE(running.IsRunning());
}

TEST_F(EndToEndTest, ExitEndsTheProgramPromptlyWhileALookupHangsAndRemovesTheIcon) {
    StoreSite();
    echo.Hang(kFirstEchoHost);
    TovraProcess tovra;
    ASSERT_TRUE(tovra.WaitForMainWindow());
    ASSERT_TRUE(WaitUntil([&] { return !echo.Requests().empty(); }, 15s));
    ASSERT_TRUE(WaitUntil([&] { return tovra.HasTrayIcon(); }, 5s));
    HWND tray = tovra.TrayWindow();

    tovra.SendTrayCommand(ID_TRAY_EXIT);
    // A lookup is bounded by ten seconds; ending well within that shows Exit did not wait for it.
    EXPECT_TRUE(tovra.WaitForExit(3s));
    EXPECT_EQ(tovra.ExitCode(), 0u);
    EXPECT_FALSE(::IsWindow(tray));
}

} // namespace
} // namespace tovra::test

namespace tovra::test {
namespace {

// Exit from the tray while a modal box is open: the About box, or the upload's box for an error
// without text (a server that hangs up at once). Each box is the main window's own, on its thread,
// so no worker waits for the user and the box goes with the window; the run ends in the log file.
TEST_F(EndToEndTest, ExitWhileAModalBoxIsOpenClosesTheBoxAndEndsTheRun) {
    StoreSite();
    struct Box {
        const char* title;
        FtpFault fault;
        UINT trayCommand; // 0: the start-up post brings the box
    };
    for (const Box& box :
         {Box{"Tovra", FtpFault::HangUp, 0}, Box{"About Tovra", FtpFault::None, ID_TRAY_ABOUT}}) {
        SCOPED_TRACE(box.title);
        ftp.SetFault(box.fault);
        TovraProcess tovra;
        const HWND main = tovra.WaitForMainWindow();
        ASSERT_NE(main, nullptr);
        if (box.trayCommand != 0)
            tovra.SendTrayCommand(box.trayCommand);
        const HWND shown = tovra.WaitForDialog(box.title, 30s);
        ASSERT_NE(shown, nullptr) << tovra.LogText();
        EXPECT_EQ(::GetWindow(shown, GW_OWNER), main);
        EXPECT_EQ(::GetWindowThreadProcessId(shown, nullptr), ::GetWindowThreadProcessId(main, nullptr));

        tovra.SendTrayCommand(ID_TRAY_EXIT);
        ASSERT_TRUE(tovra.WaitForExit(10s));
        EXPECT_EQ(tovra.ExitCode(), 0u);
        EXPECT_FALSE(::IsWindow(shown));
        std::ifstream log(std::filesystem::path(LogFile::DefaultPath()), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(text.size() > 13 && text.compare(text.size() - 13, 13, "Tovra ended\r\n") == 0);
    }
}

} // namespace
} // namespace tovra::test
