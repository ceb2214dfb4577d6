#pragma once
// Waiting in tests without fixed sleeps: a wait is for a condition and has a deadline, and the
// thread's messages are dispatched meanwhile, since the code under test may be waiting on them.

#include <windows.h>

#include <chrono>
#include <functional>

namespace tovra::test {

inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
        if (done())
            return true;
        if (::GetTickCount() - start >= timeoutMs)
            return false;
        // Wakes early for any message; the bound only keeps a condition set by another thread
        // from going unseen for long.
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

inline bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return PumpUntil(done, static_cast<DWORD>(timeout.count()));
}

} // namespace tovra::test
