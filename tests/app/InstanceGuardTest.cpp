#include "app/InstanceGuard.h"

#include "framework/Win32Handles.h"

#include <gtest/gtest.h>

#include <cstring>
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

} // namespace
} // namespace tovra
