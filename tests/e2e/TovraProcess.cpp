#include "tests/e2e/TovraProcess.h"

#include "resources/MainDialogIds.h"
#include "resources/TrayMenuIds.h"
#include "tests/support/FtpTestServer.h"

#include <shellapi.h>

#include <stdexcept>
#include <vector>

namespace tovra::test {
namespace {

constexpr char kSettingsKey[] = "SOFTWARE\\Brannik\\Tovra";
constexpr char kCompanyKey[] = "SOFTWARE\\Brannik";
constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr UINT kTrayIconId = 135;

struct WindowSearch {
    DWORD processId;
    const char* className;
    const char* title;
    bool visibleOnly = false;
    int childId = 0; // when not 0, only a window with a child of this id matches
    HWND found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || (search->visibleOnly && !::IsWindowVisible(window)) ||
        (search->childId != 0 && ::GetDlgItem(window, search->childId) == nullptr))
        return TRUE;
    char className[64] = {};
    ::GetClassNameA(window, className, sizeof className);
    if (std::string(className) != search->className)
        return TRUE;
    if (search->title != nullptr) {
        char title[64] = {};
        ::GetWindowTextA(window, title, sizeof title);
        if (std::string(title) != search->title)
            return TRUE;
    }
    search->found = window;
    return FALSE;
}

HWND FindTopLevel(DWORD processId, const char* className, const char* title, bool visibleOnly = false,
                  int childId = 0) {
    WindowSearch search{processId, className, title, visibleOnly, childId};
    ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct ControlSearch {
    int id;
    HWND found = nullptr;
};

BOOL CALLBACK MatchControl(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<ControlSearch*>(parameter);
    if (::GetDlgCtrlID(window) != search->id)
        return TRUE;
    // Pages are child dialogs with ids of their own; only a control counts.
    char className[64] = {};
    ::GetClassNameA(window, className, sizeof className);
    if (std::string(className) == "#32770")
        return TRUE;
    search->found = window;
    return FALSE;
}

std::string WindowText(HWND window) {
    const LRESULT length = ::SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const LRESULT copied =
        ::SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

} // namespace

std::string TovraExePath() {
    char chosen[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableA("TOVRA_EXE", chosen, sizeof chosen);
    std::string path = length > 0 && length < sizeof chosen ? chosen : TOVRA_EXE_UNIX_PATH;
    if (path.size() > 1 && path[1] == ':')
        return path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return "Z:" + path;
}

TovraProcess::TovraProcess(const std::string& arguments) {
    const std::string exe = TovraExePath();
    std::string commandLine = "\"" + exe + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessA(exe.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info))
        throw std::runtime_error("cannot start " + exe + ": error " + std::to_string(::GetLastError()));
    ::CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    processId_ = info.dwProcessId;
}

TovraProcess::~TovraProcess() {
    if (!IsRunning())
        return;
    if (HWND main = MainWindow())
        ::PostMessageA(main, WM_COMMAND, ID_TRAY_EXIT, 0);
    if (!WaitForExit(10s))
        ::TerminateProcess(process_.get(), 99);
    WaitForExit(10s);
}

bool TovraProcess::IsRunning() const {
    return ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

bool TovraProcess::WaitForExit(std::chrono::milliseconds timeout) const {
    return ::WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

DWORD TovraProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    ::GetExitCodeProcess(process_.get(), &code);
    return code;
}

HWND TovraProcess::MainWindow() const {
    // Found by its own class, as the setup finds it: a message box of the program has the same title.
    return FindTopLevel(processId_, TOVRA_MAIN_WINDOW_CLASS, "Tovra", false, IDC_MAIN_TABS);
}

HWND TovraProcess::WaitForMainWindow(std::chrono::milliseconds timeout) const {
    HWND window = nullptr;
    WaitUntil([&] { return (window = MainWindow()) != nullptr; }, timeout);
    return window;
}

HWND TovraProcess::TrayWindow() const {
    return FindTopLevel(processId_, "TrayIconClass", nullptr);
}

bool TovraProcess::HasTrayIcon() const {
    HWND tray = TrayWindow();
    if (tray == nullptr)
        return false;
    // Modifying nothing succeeds exactly when the shell knows an icon of that window and id.
    NOTIFYICONDATAA probe{};
    probe.cbSize = sizeof probe;
    probe.hWnd = tray;
    probe.uID = kTrayIconId;
    probe.uFlags = 0;
    return ::Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
}

HWND TovraProcess::Control(int id) const {
    HWND main = MainWindow();
    if (main == nullptr)
        return nullptr;
    // The window's own buttons first: a page's controls (the address field's inner edits among
    // them) may carry the same small ids.
    if (HWND own = ::GetDlgItem(main, id))
        return own;
    ControlSearch search{id};
    ::EnumChildWindows(main, MatchControl, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string TovraProcess::ControlText(int id) const {
    HWND control = Control(id);
    return control != nullptr ? WindowText(control) : std::string();
}

void TovraProcess::SetControlText(int id, const std::string& text) const {
    if (HWND control = Control(id))
        ::SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TovraProcess::Click(int id) const {
    if (HWND control = Control(id))
        ::PostMessageA(control, BM_CLICK, 0, 0);
}

void TovraProcess::PressPageButton(int id) const {
    if (HWND control = Control(id))
        ::PostMessageA(::GetParent(control), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(control));
}

HWND TovraProcess::WaitForDialog(const char* title, std::chrono::milliseconds timeout) const {
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = FindTopLevel(processId_, "#32770", title, true)) != nullptr; }, timeout);
    return dialog;
}

void TovraProcess::SendTrayCommand(UINT command) const {
    if (HWND main = MainWindow())
        ::PostMessageA(main, WM_COMMAND, command, 0);
}

std::string TovraProcess::LogText() const {
    return ControlText(1001);
}

bool TovraProcess::WaitForLogLine(const std::string& text, std::chrono::milliseconds timeout) const {
    return WaitUntil([&] { return LogText().find(text) != std::string::npos; }, timeout);
}

TestRegistry::TestRegistry() {
    Clear();
}

TestRegistry::~TestRegistry() {
    Clear();
}

void TestRegistry::Clear() {
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
    UniqueRegKey run;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_WRITE, run.put()) == ERROR_SUCCESS)
        ::RegDeleteValueA(run.get(), "Tovra");
}

void TestRegistry::Set(const char* name, const std::string& text) const {
    UniqueRegKey key;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                          nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot create the settings key");
    ::RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size()));
}

void TestRegistry::SetFtpSite(const FtpTestServer& ftp, const std::string& remotePath,
                              const std::string& templatePath, const std::string& address) const {
    Set("SiteAddress", address);
    Set("SitePort", std::to_string(ftp.Port()));
    Set("SiteUsername", ftp.User());
    Set("SitePassword", ftp.Password());
    Set("SiteRemotePath", remotePath);
    Set("SitePasvMode", "1");
    Set("LocalTemplateFile", templatePath);
    Set("GetWebAddress", "1");
}

std::string TestRegistry::Get(const char* name, const std::string& missing) const {
    UniqueRegKey key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return missing;
    char buffer[1024] = {};
    DWORD size = sizeof buffer - 1;
    if (::RegQueryValueExA(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS)
        return missing;
    return std::string(buffer, strnlen(buffer, size));
}

bool TestRegistry::SettingsKeyExists() const {
    UniqueRegKey key;
    return ::RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

bool TestRegistry::CompanyKeyExists() const {
    UniqueRegKey key;
    return ::RegOpenKeyExA(HKEY_CURRENT_USER, kCompanyKey, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

void TestRegistry::SetRunValue(const std::string& command) const {
    UniqueRegKey run;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, run.put(),
                          nullptr) != ERROR_SUCCESS)
        throw std::runtime_error("cannot create the Run key");
    ::RegSetValueExA(run.get(), "Tovra", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                     static_cast<DWORD>(command.size() + 1));
}

bool TestRegistry::RunValueExists() const {
    UniqueRegKey run;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, run.put()) != ERROR_SUCCESS)
        return false;
    return ::RegQueryValueExA(run.get(), "Tovra", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

} // namespace tovra::test
