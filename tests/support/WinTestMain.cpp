// The entry point of every Windows test program. Once the tests have run and their output is
// written, the process ends at once with their result: under Wine an ordinary exit, which tears
// down the runtime and the DLLs while threads left behind by design (a worker abandoned in a hung
// network call) may still run, crashed now and then after every test had passed. The program's
// own way out is tested from outside, by the end-to-end tests.
//
// Ending the process at once is only safe when it has a single thread left. Wine ends every other
// thread by a signal to it, and a thread that was still starting died of that signal in Wine's
// own handler and took the process with it: a segmentation fault after "PASSED" (measured: about
// 2 to 4 runs in a hundred for a program that starts threads and ends at once, none when it first
// waits for them to end). GoogleTest starts such a thread just before the first test: one that
// waits for the end of the thread that ran the tests, and a test of a few milliseconds ended before
// it was up. So the tests run on a thread of their own; when it ends, that watcher ends too, and
// the process gives its threads a moment to finish before it goes.

#include "framework/Win32Handles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>

namespace {

DWORD WINAPI RunTests(void* result) {
    *static_cast<int*>(result) = RUN_ALL_TESTS();
    return 0;
}

// Some thread of this process other than the caller, or 0 when there is none.
DWORD AnotherThread() {
    const tovra::UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot)
        return 0;
    const DWORD process = ::GetCurrentProcessId();
    const DWORD self = ::GetCurrentThreadId();
    DWORD found = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot.get(), &entry); more && found == 0;
         more = ::Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID == process && entry.th32ThreadID != self)
            found = entry.th32ThreadID;
    }
    return found;
}

// Waits until the caller is the process's only thread, for at most `limitMs`. A thread still
// running after that (a worker a test abandoned on purpose) is ended with the process, as before.
void WaitForTheOtherThreads(DWORD limitMs) {
    const ULONGLONG deadline = ::GetTickCount64() + limitMs;
    DWORD unopened = 0;
    for (DWORD id = AnotherThread(); id != 0; id = AnotherThread()) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline)
            return;
        const tovra::UniqueKernelHandle thread(::OpenThread(SYNCHRONIZE, FALSE, id));
        if (!thread) {
            // Usually gone between the snapshot and the open; one that stays and cannot be
            // opened cannot be waited for either.
            if (id == unopened)
                return;
            unopened = id;
            continue;
        }
        ::WaitForSingleObject(thread.get(), static_cast<DWORD>(deadline - now));
    }
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    int result = 1;
    const tovra::UniqueKernelHandle tests(::CreateThread(nullptr, 0, RunTests, &result, 0, nullptr));
    if (!tests) {
        std::fprintf(stderr, "could not start the test thread (error %lu)\n", ::GetLastError());
    } else {
        ::WaitForSingleObject(tests.get(), INFINITE);
        WaitForTheOtherThreads(1000);
    }
    std::fflush(stdout);
    std::fflush(stderr);
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(result));
    return result;
}
