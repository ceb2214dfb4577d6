#pragma once
// How tests wait for something another thread or process does: by polling the condition until
// it holds or a deadline passes, never by a fixed sleep that stands in for the result.

#include <chrono>
#include <functional>
#include <thread>

namespace tovra::test {

// Polls `condition` every `interval` until it holds or `timeout` passes; returns its last value.
inline bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
                      std::chrono::milliseconds interval = std::chrono::milliseconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        std::this_thread::sleep_for(interval);
    }
}

} // namespace tovra::test
