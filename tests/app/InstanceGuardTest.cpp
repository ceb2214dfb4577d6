#include "app/InstanceGuard.h"

#include "framework/Win32Handles.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

namespace tovra {
namespace {

TEST(InstanceName, ComposesEveryScope) {
    EXPECT_EQ(BuildInstanceName("P", InstanceScope::None), "P");
    EXPECT_EQ(BuildInstanceName("P", static_cast<InstanceScope>(7)), "P");
    // The usual desktop of an interactive session is called Default.
    EXPECT_EQ(BuildInstanceName(kInstanceNamePrefix, InstanceScope::Desktop),
              std::string(kInstanceNamePrefix) + "-Default");

    const std::string logon = BuildInstanceName("P", InstanceScope::Logon);
    ASSERT_EQ(logon.size(), 1u + 1u + 16u);
    EXPECT_EQ(logon.substr(0, 2), "P-");
    EXPECT_EQ(logon.find_first_not_of("0123456789abcdef", 2), std::string::npos);

    const std::string user = BuildInstanceName("P", InstanceScope::User);
    char name[64] = {};
    DWORD size = sizeof name;
    ASSERT_TRUE(::GetUserNameA(name, &size));
    EXPECT_EQ(user.substr(0, 2), "P-");
    EXPECT_EQ(user.substr(user.size() - std::strlen(name) - 1), std::string("-") + name);
}

TEST(InstanceName, LogonSuffixIsSixteenLowerCaseHexDigits) {
    EXPECT_EQ(LogonSuffix(0, 0x3E7), "-00000000000003e7");
    EXPECT_EQ(LogonSuffix(0xABCDEF01, 0x2), "-abcdef0100000002");
}

TEST(InstanceGuard, OnlyTheFirstOnADesktopIsFirst) {
    EXPECT_TRUE(IsFirstInstance());
    EXPECT_FALSE(IsFirstInstance());

    // A thread on another desktop of the same window station sees a name of its own. The thread
    // must not own a window yet, so it is a fresh one.
    HDESK other = ::CreateDesktopA("TovraGuardTest", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    ASSERT_NE(other, nullptr);
    bool firstThere = false;
    bool secondThere = true;
    std::thread([&] {
        if (::SetThreadDesktop(other)) {
            firstThere = IsFirstInstance();
            secondThere = IsFirstInstance();
        }
    }).join();
    ::CloseDesktop(other);
    EXPECT_TRUE(firstThere);
    EXPECT_FALSE(secondThere);
}

TEST(InstanceGuard, PublishedWindowIsSharedAndOwnProcessIsNeverNotified) {
    EXPECT_EQ(PublishedMainWindow(), nullptr);
    HWND window = ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    PublishMainWindow(window);
    EXPECT_EQ(PublishedMainWindow(), window);
    // A window of this very process is not another instance: nothing is sent, nothing blocks.
    IsFirstInstance();
    NotifyRunningInstance(1);
    NotifyRunningInstance(2);
    ::DestroyWindow(window);
    // A stale handle is left alone.
    NotifyRunningInstance(1);
    PublishMainWindow(nullptr);
}

bool helperNotified = false;

LRESULT CALLBACK HelperWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kNotifyStartMessage) {
        helperNotified = true;
        ::PostQuitMessage(0);
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

void CALLBACK GiveUp(HWND, UINT, UINT_PTR, DWORD) {
    ::PostQuitMessage(0);
}

// Not a test of its own: the window that the next test puts in the slot, in a process of its own,
// started with TOVRA_GUARD_HELPER naming the file that receives the window's handle. It passes
// when the start message comes within 3 seconds.
TEST(InstanceGuardHelper, AWindowThatWaitsForTheStartMessage) {
    const char* handleFile = std::getenv("TOVRA_GUARD_HELPER");
    if (handleFile == nullptr)
        GTEST_SKIP() << "started by OnlyAWindowOfThisProgramFileIsNotified";
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = HelperWindowProc;
    windowClass.lpszClassName = "TovraGuardHelper";
    ASSERT_NE(::RegisterClassA(&windowClass), 0);
    HWND window =
        ::CreateWindowExA(0, "TovraGuardHelper", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    std::ofstream(handleFile) << reinterpret_cast<std::uintptr_t>(window) << "\n";
    ::SetTimer(window, 1, 3000, GiveUp);
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0)
        ::DispatchMessageA(&message);
    EXPECT_TRUE(helperNotified);
}

// The slot is shared by every copy of the program file in every session: a window in it from a
// process of another program file (or another session's handle value that names one here) gets
// nothing; the running copy's own window gets the start message.
TEST(InstanceGuard, OnlyAWindowOfThisProgramFileIsNotified) {
    wchar_t own[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameW(nullptr, own, MAX_PATH), 0u);
    const std::wstring other = std::wstring(own) + L".other.exe";
    ASSERT_TRUE(::CopyFileW(own, other.c_str(), FALSE));
    const std::string handleFile = "guard-helper-" + std::to_string(::GetCurrentProcessId()) + ".txt";
    ::SetEnvironmentVariableA("TOVRA_GUARD_HELPER", handleFile.c_str());
    IsFirstInstance(); // the running copy holds the name: this is a later copy

    for (const std::wstring& image : {std::wstring(own), other}) {
        SCOPED_TRACE(image == own ? "this program file" : "another program file");
        ::DeleteFileA(handleFile.c_str());
        std::wstring commandLine = L"\"" + image + L"\" --gtest_filter=InstanceGuardHelper.*";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        ASSERT_TRUE(::CreateProcessW(image.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                     nullptr, &startup, &started));
        const UniqueKernelHandle process(started.hProcess);
        const UniqueKernelHandle thread(started.hThread);
        std::uintptr_t value = 0;
        ASSERT_TRUE(test::WaitUntil([&] { return static_cast<bool>(std::ifstream(handleFile) >> value); },
                                    std::chrono::seconds(20)));
        PublishMainWindow(reinterpret_cast<HWND>(value));
        NotifyRunningInstance(0);
        ASSERT_EQ(::WaitForSingleObject(process.get(), 20000), WAIT_OBJECT_0);
        DWORD exitCode = 0;
        ::GetExitCodeProcess(process.get(), &exitCode);
        EXPECT_EQ(exitCode, image == own ? 0u : 1u) << "0: the helper was notified";
    }
    PublishMainWindow(nullptr);
    ::SetEnvironmentVariableA("TOVRA_GUARD_HELPER", nullptr);
    ::DeleteFileA(handleFile.c_str());
    ::DeleteFileW(other.c_str());
}

} // namespace
} // namespace tovra
