#include "mainwindow/UiInvoker.h"

#include <exception>
#include <system_error>
#include <utility>

namespace tovra {
namespace {

constexpr char kClassName[] = "Tovra.UiInvoker";

// Carries nothing: the work waits in the queue, so the same number sent by another program only
// makes the window run what is queued already.
constexpr UINT WM_RUN_QUEUED = WM_APP + 7;

} // namespace

bool UiInvoker::Queue::Post(std::function<void()> fn) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (window_ == nullptr)
        return false;
    calls_.push_back(std::move(fn));
    if (!std::exchange(woken_, true) && !::PostMessageA(window_, WM_RUN_QUEUED, 0, 0))
        woken_ = false; // a full message queue: the next post tries again
    return true;
}

UiInvoker::UiInvoker(HINSTANCE instance) {
    if (!Create(instance, kClassName, Kind::MessageOnly))
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "CreateWindowEx");
    std::lock_guard<std::mutex> lock(queue_->mutex_);
    queue_->window_ = Handle();
}

UiInvoker::~UiInvoker() {
    Close();
}

void UiInvoker::Close() noexcept {
    if (std::exchange(closed_, true))
        return;
    std::vector<std::function<void()>> dropped;
    {
        std::lock_guard<std::mutex> lock(queue_->mutex_);
        queue_->window_ = nullptr;
        dropped.swap(queue_->calls_);
    }
    // Outside the lock: what the calls hold may take a while to let go.
    dropped.clear();
    Destroy();
}

LRESULT UiInvoker::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_RUN_QUEUED)
        return MessageWindow::HandleMessage(message, wParam, lParam);
    RunQueued();
    return 0;
}

void UiInvoker::RunQueued() {
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard<std::mutex> lock(queue_->mutex_);
        calls.swap(queue_->calls_);
        queue_->woken_ = false;
    }
    for (const std::function<void()>& call : calls) {
        // A call may close the invoker (Exit): what was queued behind it must not run.
        if (closed_)
            return;
        try {
            call();
        } catch (const std::exception&) {
            // One failed call must not take the calls queued behind it along.
        }
    }
}

} // namespace tovra
