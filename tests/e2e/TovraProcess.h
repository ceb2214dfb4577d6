#pragma once
// A real tovra.exe started by a test, and what a user sees of it: its windows, the controls in
// them, its tray icon and whether it is still running. The process inherits this test's
// environment (so the echo proxy set with EchoProxyServer::UseAsProxyForThisProcess reaches it)
// and the prefix's real HKEY_CURRENT_USER, which the test prepares with TestRegistry.
//
// Every wait polls its condition until a deadline; nothing sleeps for a fixed time.

#include "framework/Win32Handles.h"
#include "tests/support/WaitUntil.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

namespace tovra::test {

using namespace std::chrono_literals;

class TovraProcess {
public:
    // Starts tovra.exe with `arguments` after the program name ("" for none). Throws when the
    // process cannot be created.
    explicit TovraProcess(const std::string& arguments = "");
    // Ends a process still running (Exit first, then termination as a last resort).
    ~TovraProcess();
    TovraProcess(const TovraProcess&) = delete;
    TovraProcess& operator=(const TovraProcess&) = delete;

    DWORD Id() const { return processId_; }
    bool IsRunning() const;
    // Waits for the process to end; true when it did within `timeout`.
    bool WaitForExit(std::chrono::milliseconds timeout) const;
    DWORD ExitCode() const;

    // The main window (dialog "Tovra"), once it exists; null before.
    HWND MainWindow() const;
    HWND WaitForMainWindow(std::chrono::milliseconds timeout = 15s) const;
    // The tray icon's hidden window; null when there is none.
    HWND TrayWindow() const;
    // Whether the notification area holds the program's icon (asked of the shell itself).
    bool HasTrayIcon() const;

    // The control with `id` inside the page (or the main window) that has it; null when none.
    HWND Control(int id) const;
    std::string ControlText(int id) const;
    void SetControlText(int id, const std::string& text) const;
    // Clicks a button as a user would (BM_CLICK), without waiting for what it starts.
    void Click(int id) const;
    // Delivers a button's click to the page that holds it, as the button itself would: a button
    // on a page that is not shown may not take a BM_CLICK.
    void PressPageButton(int id) const;
    // A visible dialog of this process with `title` (only then do its controls exist and is its
    // initialisation over); null when none shows within the time.
    HWND WaitForDialog(const char* title, std::chrono::milliseconds timeout) const;

    // Delivers a tray menu command to the main window, as the tray does.
    void SendTrayCommand(UINT command) const;

    // The Details page's log box.
    std::string LogText() const;
    bool WaitForLogLine(const std::string& text, std::chrono::milliseconds timeout) const;

private:
    UniqueKernelHandle process_;
    DWORD processId_ = 0;
};

// The prefix's real HKEY_CURRENT_USER\SOFTWARE\Brannik\Tovra and the Run value, emptied when the
// object is made and again when it goes.
class FtpTestServer;

class TestRegistry {
public:
    TestRegistry();
    ~TestRegistry();
    TestRegistry(const TestRegistry&) = delete;
    TestRegistry& operator=(const TestRegistry&) = delete;

    void Set(const char* name, const std::string& text) const;
    // A site on the test FTP server (passive, web detection) whose page is made from templatePath.
    void SetFtpSite(const FtpTestServer& ftp, const std::string& remotePath, const std::string& templatePath,
                    const std::string& address = "127.0.0.1") const;
    // The stored text; `missing` when there is no such value.
    std::string Get(const char* name, const std::string& missing = "<missing>") const;
    bool SettingsKeyExists() const;
    bool CompanyKeyExists() const;
    void SetRunValue(const std::string& command) const;
    bool RunValueExists() const;

private:
    static void Clear();
};

// The full path of the built tovra.exe, as Wine sees it; the environment variable TOVRA_EXE (a Unix
// or a Windows path) names another, for a benchmark of an older build.
std::string TovraExePath();

} // namespace tovra::test
