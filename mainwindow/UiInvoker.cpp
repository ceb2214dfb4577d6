#include "mainwindow/UiInvoker.h"

#include <cstdint>
#include <exception>
#include <map>
#include <system_error>
#include <utility>

namespace tovra {
namespace {

constexpr char kClassName[] = "Tovra.UiInvoker";

// A registered message rather than WM_APP + n: should the window handle ever be reused by a
// window of another class, that window ignores the message.
UINT InvokeMessage() {
    static const UINT message = ::RegisterWindowMessageA("Tovra.UiInvoker.Invoke");
    return message;
}

// Any program can send a registered message to any window, so the message carries no address:
// only a number that names a call waiting in this table. A number that names none runs nothing.
class PendingCalls {
public:
    std::uintptr_t Add(void* call) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (++lastNumber_ == 0)
            ++lastNumber_;
        calls_.emplace(lastNumber_, call);
        return lastNumber_;
    }
    // The call's record, taken out so that it runs at most once; null when none waits under it.
    void* Take(std::uintptr_t number) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = calls_.find(number);
        if (found == calls_.end())
            return nullptr;
        void* call = found->second;
        calls_.erase(found);
        return call;
    }

private:
    std::mutex mutex_;
    std::uintptr_t lastNumber_ = 0;
    std::map<std::uintptr_t, void*> calls_;
};

PendingCalls& Pending() {
    static PendingCalls calls;
    return calls;
}

[[noreturn]] void ThrowLastError(const char* what) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), what);
}

} // namespace

// Lives on the caller's stack while the caller waits in SendMessage, so the UI thread may use it.
struct UiInvoker::Call {
    UiInvoker* invoker;
    const std::function<void()>* fn;
    bool ran = false;
    std::exception_ptr failure;
};

UiInvoker::UiInvoker(HINSTANCE instance) : uiThreadId_(::GetCurrentThreadId()) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &UiInvoker::WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    if (!::RegisterClassExA(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        ThrowLastError("RegisterClassEx");
    if (InvokeMessage() == 0)
        ThrowLastError("RegisterWindowMessage");
    window_ = ::CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (!window_)
        ThrowLastError("CreateWindowEx");
}

UiInvoker::~UiInvoker() {
    Close();
}

bool UiInvoker::Invoke(const std::function<void()>& fn) {
    if (::GetCurrentThreadId() == uiThreadId_) {
        if (IsClosed())
            return false;
        fn();
        return true;
    }
    HWND window;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        window = window_;
    }
    if (!window)
        return false;
    // Sent, never posted: the caller's arguments and the call record stay valid because it waits.
    // Should the window be destroyed before the message is handled, SendMessage returns without
    // running anything and call.ran stays false.
    Call call{this, &fn, false, nullptr};
    const std::uintptr_t number = Pending().Add(&call);
    ::SendMessageA(window, InvokeMessage(), static_cast<WPARAM>(number), 0);
    Pending().Take(number);
    if (call.failure)
        std::rethrow_exception(call.failure);
    return call.ran;
}

void UiInvoker::Close() {
    HWND window;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        window = std::exchange(window_, nullptr);
    }
    if (!window)
        return;
    // Only the owning thread may destroy the window. From any other thread (the last reference
    // released by a worker), the window is asked to close itself; the flag above already keeps
    // every later call from running.
    if (::GetCurrentThreadId() == uiThreadId_)
        ::DestroyWindow(window);
    else
        ::PostMessageA(window, WM_CLOSE, 0, 0);
}

bool UiInvoker::IsClosed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return window_ == nullptr;
}

LRESULT CALLBACK UiInvoker::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != InvokeMessage() || message == 0)
        return ::DefWindowProcA(window, message, wParam, lParam);
    auto* waiting = static_cast<Call*>(Pending().Take(static_cast<std::uintptr_t>(wParam)));
    if (waiting == nullptr)
        return 0;
    Call& call = *waiting;
    // A call that was already waiting when the invoker was closed is refused here: whatever the
    // owner tore down after Close() is never reached.
    if (call.invoker->IsClosed())
        return 0;
    try {
        (*call.fn)();
    } catch (...) {
        call.failure = std::current_exception();
    }
    call.ran = true;
    return 1;
}

} // namespace tovra
