// tray_anchor.exe: keeps a TrayAnchor in the notification area across the end-to-end test
// programs, each of which is a process of its own and would otherwise leave the tray empty, and
// pay Wine's wait, every time tovra.exe ends.
//   tray_anchor.exe          holds the icon until told to stop (at most an hour); a second copy
//                            ends at once
//   tray_anchor.exe --wait   returns once an anchor's icon is in the tray (exit 1 after 30 s)
//   tray_anchor.exe --stop   tells the running anchor to remove its icon and end

#include "framework/Win32Handles.h"
#include "tests/e2e/TrayAnchor.h"

#include <windows.h>

#include <cstring>

namespace {

using tovra::UniqueKernelHandle;

constexpr DWORD kLongestLifeMs = 60 * 60 * 1000;
constexpr DWORD kReadyWaitMs = 30 * 1000;

UniqueKernelHandle NamedEvent(const char* name) {
    return UniqueKernelHandle(::CreateEventA(nullptr, TRUE, FALSE, name));
}

int Hold() {
    UniqueKernelHandle stop = NamedEvent(tovra::test::kTrayAnchorStopEvent);
    if (!stop || ::GetLastError() == ERROR_ALREADY_EXISTS)
        return 0;
    const UniqueKernelHandle ready = NamedEvent(tovra::test::kTrayAnchorReadyEvent);
    const tovra::test::TrayAnchor anchor("Tovra tests");
    if (!anchor.Added() || !ready)
        return 1;
    ::SetEvent(ready.get());
    // The icon's window answers whatever the shell sends it while the anchor waits.
    const DWORD start = ::GetTickCount();
    for (;;) {
        const DWORD waited = ::GetTickCount() - start;
        if (waited >= kLongestLifeMs)
            break;
        HANDLE handles[] = {stop.get()};
        if (::MsgWaitForMultipleObjects(1, handles, FALSE, kLongestLifeMs - waited, QS_ALLINPUT) ==
            WAIT_OBJECT_0)
            break;
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageA(&message);
    }
    // Not ready, and the stop event gone, before the icon's removal, which Wine holds for 2 s as
    // the tray's last: an anchor started meanwhile (the next test run) would otherwise take this
    // ending one for a running copy, end at once, and leave its --wait to time out.
    ::ResetEvent(ready.get());
    stop.reset();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--stop") == 0) {
        const UniqueKernelHandle stop = NamedEvent(tovra::test::kTrayAnchorStopEvent);
        return stop && ::SetEvent(stop.get()) ? 0 : 1;
    }
    if (argc > 1 && std::strcmp(argv[1], "--wait") == 0) {
        const UniqueKernelHandle ready = NamedEvent(tovra::test::kTrayAnchorReadyEvent);
        return ready && ::WaitForSingleObject(ready.get(), kReadyWaitMs) == WAIT_OBJECT_0 ? 0 : 1;
    }
    return Hold();
}
