#pragma once
// One copy of the program per desktop. The decision rests on a named mutex created at start: of
// two copies starting at the same moment on one desktop, exactly one finds the name free. Besides
// the mutex, every process of this program file shares one slot in which the running instance
// leaves its main window, so that a later copy can reach it.
//
// Threads: IsFirstInstance and NotifyRunningInstance run on the starting thread; PublishMainWindow
// on the main window's thread. The slot is one aligned 32-bit value, read and written whole.

#include <windows.h>

#include <string>
#include <string_view>

namespace tovra {

inline constexpr char kInstanceNamePrefix[] = "Tovra-76D94BE3-D2B6-443e-99EB-566081F222FC";

// Messages a later copy sends to the running instance's main window; it does not act on them.
inline constexpr UINT kNotifyUninstallMessage = WM_USER + 400;
inline constexpr UINT kNotifyStartMessage = WM_USER + 401;

enum class InstanceScope { None = 0, Desktop = 1, Logon = 2, User = 3 };

// The prefix alone; with "-" and the calling thread's desktop name (or "-Win9x" where the platform
// keeps no desktop names); with the logon session as "-%08x%08x"; or with "-domain-user".
std::string BuildInstanceName(std::string_view prefix, InstanceScope scope);

// The logon suffix, "-" and the session identifier's high and low parts as 16 hex digits.
std::string LogonSuffix(DWORD highPart, DWORD lowPart);

// Creates (or opens) the per-desktop mutex and keeps it for the life of the process. True unless
// another instance on this desktop already holds the name. A mutex that cannot be created for any
// other reason counts as a first instance: better two copies than none.
bool IsFirstInstance();

// Leaves the main window where later copies of the program can find it.
void PublishMainWindow(HWND mainWindow);
HWND PublishedMainWindow();

// Reaches the running instance, if any: kind 2 allows it the foreground and asks it to show its
// main window in front (IDM_SHOW_MAIN_WINDOW), kind 1 and kind 0 send it kNotifyUninstallMessage
// and kNotifyStartMessage. Any other kind does nothing. A published window that is gone, that
// belongs to this very process, to another session or to a process of another program file, is
// left alone, and a hung instance cannot hold the caller for more than two seconds.
void NotifyRunningInstance(int kind);

} // namespace tovra
