// What the tray says about the posting, on Wine's real notification area: the picture on screen,
// the tip, and the shell's balloon.

#include "tray/TrayStatus.h"

#include "resources/ResourceIds.h"
#include "resources/TrayMenuIds.h"
#include "tests/support/MessagePump.h"
#include "tray/TrayIcon.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using tovra::CTrayIcon;
using tovra::CTrayStatus;
using tovra::test::PumpUntil;

// A visible tooltip window of another process: the shell's balloon.
BOOL CALLBACK CountBalloon(HWND window, LPARAM count) {
    char name[64] = {};
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    ::GetClassNameA(window, name, sizeof name);
    if (process != ::GetCurrentProcessId() && ::IsWindowVisible(window) &&
        lstrcmpiA(name, "tooltips_class32") == 0)
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int BalloonsOnScreen() {
    int count = 0;
    ::EnumWindows(&CountBalloon, reinterpret_cast<LPARAM>(&count));
    return count;
}

TEST(TrayStatusTest, FailedPostingShowsTheAttentionPictureAndWhyUntilAPostSucceeds) {
    CTrayIcon tray;
    ASSERT_TRUE(tray.Create(::GetModuleHandleA(nullptr), nullptr, 0x800A, "Tovra", IDI_TRAY_NORMAL,
                            IDR_TRAY_MENU, false));
    CTrayStatus status(tray);

    // A check that finds no address: busy while it runs, then the attention picture; the balloon
    // waits for the retry a minute later, and shows when that fails too.
    status.SetBusy(true);
    status.ShowPostingResult(true, "No IP Address could be detected.", true);
    EXPECT_EQ(tray.BalloonsShown(), 0);
    status.ShowPostingResult(true, "No IP Address could be detected.");
    EXPECT_EQ(tray.PictureId(), static_cast<UINT>(IDI_TRAY_BUSY));
    status.SetBusy(false);
    EXPECT_EQ(tray.PictureId(), static_cast<UINT>(IDI_TRAY_ATTENTION));
    EXPECT_EQ(tray.Tip(), "Tovra: No IP Address could be detected.");
    EXPECT_TRUE(PumpUntil([] { return BalloonsOnScreen() > 0; }, 6000))
        << "the first failure shows a balloon";

    // The next failure says what failed now, without another balloon.
    status.ShowPostingResult(true, "The upload failed: 530 Login incorrect.");
    EXPECT_EQ(tray.Tip(), "Tovra: The upload failed: 530 Login incorrect.");
    EXPECT_EQ(tray.PictureId(), static_cast<UINT>(IDI_TRAY_ATTENTION));
    EXPECT_EQ(tray.BalloonsShown(), 1);

    status.ShowPostingResult(false, {});
    EXPECT_EQ(tray.PictureId(), static_cast<UINT>(IDI_TRAY_NORMAL));
    EXPECT_EQ(tray.Tip(), "Tovra");
    EXPECT_FALSE(status.Failing());

    // A new series begins with a balloon again, unless its retry then works.
    status.ShowPostingResult(true, "No IP Address could be detected.", true);
    status.ShowPostingResult(false, {});
    status.ShowPostingResult(true, "No IP Address could be detected.");
    EXPECT_EQ(tray.BalloonsShown(), 2);
}

} // namespace
