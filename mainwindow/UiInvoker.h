#pragma once
// Carries work from the workers to the window thread: each Post queues a function, and the window
// thread runs the queue, in the order of the posts, when it next handles its messages. One message
// wakes it for a whole batch, and no worker ever waits for the window.
//
// Threads: the invoker is made, closed and destroyed on the window thread, which owns its
// message-only window; Post may be called from any thread through the Queue the invoker hands out.
// Lifetime: workers hold only the Queue, never the window, so the last reference to it may go on
// any thread. Close (and the destructor) empty the queue and refuse every later post: from then on
// nothing a worker posts runs, so nothing it posted can reach a window that is going away.

#include "framework/MessageWindow.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace tovra {

class UiInvoker final : private MessageWindow {
public:
    class Queue {
    public:
        // Queues fn for the window thread; false, dropping it, once the invoker is closed.
        bool Post(std::function<void()> fn);

    private:
        friend class UiInvoker;
        std::mutex mutex_;
        HWND window_ = nullptr; // null once closed
        bool woken_ = false;    // a wake-up message is on its way
        std::vector<std::function<void()>> calls_;
    };

    // Creates the message-only window on the calling thread, which becomes the window thread.
    // Throws std::system_error when the window cannot be created.
    explicit UiInvoker(HINSTANCE instance);
    ~UiInvoker() override;
    UiInvoker(const UiInvoker&) = delete;
    UiInvoker& operator=(const UiInvoker&) = delete;

    const std::shared_ptr<Queue>& Calls() const noexcept { return queue_; }
    bool Post(std::function<void()> fn) { return queue_->Post(std::move(fn)); }

    // Idempotent; the window thread only.
    void Close() noexcept;

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void RunQueued();

    const std::shared_ptr<Queue> queue_ = std::make_shared<Queue>();
    bool closed_ = false;
};

} // namespace tovra
