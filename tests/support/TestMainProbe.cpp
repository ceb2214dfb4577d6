// The tests that the Windows test programs' own ending runs (tests/support/CMakeLists.txt says
// what each run expects): one test that fails, and one that passes but leaves a thread blocked
// for good, as a worker abandoned in a hung network call would be.

#include <gtest/gtest.h>

#include <windows.h>

namespace {

DWORD WINAPI BlockForGood(void* event) {
    ::WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
    return 0;
}

} // namespace

TEST(TestMainProbe, Fails) {
    ADD_FAILURE() << "this failure must reach the program's exit code";
}

TEST(TestMainProbe, LeavesAThreadBlocked) {
    // Never set, never closed: the thread must still be waiting when the program ends.
    const HANDLE never = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(never, nullptr);
    const HANDLE thread = ::CreateThread(nullptr, 0, BlockForGood, never, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ::CloseHandle(thread);
}
