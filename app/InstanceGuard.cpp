#include "app/InstanceGuard.h"

#include "framework/FixedText.h"
#include "framework/Win32Handles.h"
#include "resources/MainDialogIds.h"

#include <string>
#include <vector>

namespace tovra {
namespace {

// Shared by every process that runs this program file, whatever its desktop (the section is
// marked shared in the image; see the linker options of the application target).
HWND sharedMainWindow __attribute__((section(".shr"), shared)) = nullptr;

std::string DesktopSuffix() {
    HDESK desktop = ::GetThreadDesktop(::GetCurrentThreadId());
    DWORD needed = 0;
    if (::GetUserObjectInformationA(desktop, UOI_NAME, nullptr, 0, &needed) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0)
        return "-Win9x";
    std::vector<char> name(needed + 1, '\0');
    if (!::GetUserObjectInformationA(desktop, UOI_NAME, name.data(), needed, &needed))
        return "-Win9x";
    return std::string("-") + name.data();
}

std::string LogonSessionSuffix() {
    UniqueKernelHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return {};
    TOKEN_STATISTICS statistics{};
    DWORD size = 0;
    if (!::GetTokenInformation(token.get(), TokenStatistics, &statistics, sizeof statistics, &size))
        return {};
    return LogonSuffix(static_cast<DWORD>(statistics.AuthenticationId.HighPart),
                       statistics.AuthenticationId.LowPart);
}

std::string UserSuffix() {
    char user[64] = {};
    DWORD userSize = sizeof user;
    if (!::GetUserNameA(user, &userSize))
        return {};
    // Where the variable is not set the text stays as it is, as the platform leaves it.
    char domain[64] = "%USERDOMAIN%";
    const DWORD expanded = ::ExpandEnvironmentStringsA("%USERDOMAIN%", domain, sizeof domain);
    if (expanded == 0 || expanded > sizeof domain)
        CopyBounded(domain, "%USERDOMAIN%");
    return std::string("-") + domain + "-" + user;
}

// The slot is shared by every process that maps the program file, in every session and for every
// user, while the mutex is per desktop: with two users logged on, the slot may hold another
// session's window, whose handle value means nothing here or names some other window of ours.
// Only a window of this session, in a process of this very program file, is the running copy's.
bool IsRunningCopysWindow(HWND window, DWORD owner) {
    DWORD ownSession = 0;
    DWORD ownerSession = 0;
    if (!::ProcessIdToSessionId(::GetCurrentProcessId(), &ownSession) ||
        !::ProcessIdToSessionId(owner, &ownerSession) || ownSession != ownerSession)
        return false;
    const UniqueKernelHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, owner));
    if (!process)
        return false;
    std::vector<wchar_t> ownerImage(32768, L'\0');
    DWORD ownerLength = static_cast<DWORD>(ownerImage.size());
    std::vector<wchar_t> ownImage(32768, L'\0');
    const DWORD ownLength =
        ::GetModuleFileNameW(nullptr, ownImage.data(), static_cast<DWORD>(ownImage.size()));
    if (!::QueryFullProcessImageNameW(process.get(), 0, ownerImage.data(), &ownerLength) || ownLength == 0 ||
        ownLength >= ownImage.size())
        return false;
    // Still the same window: a handle freed and reused since the check above names another.
    DWORD ownerNow = 0;
    ::GetWindowThreadProcessId(window, &ownerNow);
    return ownerNow == owner &&
           ::CompareStringOrdinal(ownImage.data(), static_cast<int>(ownLength), ownerImage.data(),
                                  static_cast<int>(ownerLength), TRUE) == CSTR_EQUAL;
}

} // namespace

std::string LogonSuffix(DWORD highPart, DWORD lowPart) {
    std::string text = "-";
    for (const DWORD part : {highPart, lowPart})
        for (int shift = 28; shift >= 0; shift -= 4)
            text += "0123456789abcdef"[(part >> shift) & 0xF];
    return text;
}

std::string BuildInstanceName(std::string_view prefix, InstanceScope scope) {
    std::string name(prefix);
    switch (scope) {
    case InstanceScope::Desktop:
        name += DesktopSuffix();
        break;
    case InstanceScope::Logon:
        name += LogonSessionSuffix();
        break;
    case InstanceScope::User:
        name += UserSuffix();
        break;
    case InstanceScope::None:
    default:
        break;
    }
    return name;
}

bool IsFirstInstance() {
    const std::string name = BuildInstanceName(kInstanceNamePrefix, InstanceScope::Desktop);
    HANDLE mutex = ::CreateMutexA(nullptr, TRUE, name.c_str());
    const DWORD error = ::GetLastError();
    if (mutex != nullptr)
        ::ReleaseMutex(mutex);
    // The handle is deliberately never closed: it keeps the name alive for as long as this
    // process runs, and the system closes it when the process ends.
    return error != ERROR_ALREADY_EXISTS;
}

void PublishMainWindow(HWND mainWindow) {
    ::InterlockedExchange(reinterpret_cast<volatile LONG*>(&sharedMainWindow),
                          static_cast<LONG>(reinterpret_cast<LONG_PTR>(mainWindow)));
}

HWND PublishedMainWindow() {
    const LONG value =
        ::InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(&sharedMainWindow), 0, 0);
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(value));
}

void NotifyRunningInstance(int kind) {
    if (IsFirstInstance())
        return;
    HWND window = PublishedMainWindow();
    if (window == nullptr || !::IsWindow(window))
        return;
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == ::GetCurrentProcessId() || !IsRunningCopysWindow(window, owner))
        return;
    DWORD_PTR ignored = 0;
    switch (kind) {
    case 2:
        // The system lets only the process the user just started take the foreground; we hand
        // that right on to the running copy, which shows its window itself.
        ::AllowSetForegroundWindow(owner);
        ::SendMessageTimeoutA(window, WM_COMMAND, MAKEWPARAM(IDM_SHOW_MAIN_WINDOW, 0), 0,
                              SMTO_ABORTIFHUNG | SMTO_BLOCK, 2000, &ignored);
        break;
    case 1:
        ::SendMessageTimeoutA(window, kNotifyUninstallMessage, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 2000,
                              &ignored);
        break;
    case 0:
        ::SendMessageTimeoutA(window, kNotifyStartMessage, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 2000,
                              &ignored);
        break;
    default:
        break;
    }
}

} // namespace tovra
