#include "framework/InternetSessionState.h"

#include "framework/Win32Handles.h"

#include <algorithm>
#include <map>
#include <system_error>
#include <thread>

namespace tovra {

// Between a helper thread that runs a step and the caller waiting for it. The helper writes
// only here; once the caller has walked away (`abandoned`), nothing it writes goes further.
struct StepChannel {
    using StepResult = InternetSessionState::StepResult;
    struct Notification {
        DWORD status;
        std::vector<char> info;
        DWORD length;
    };

    std::mutex mutex;
    bool abandoned = false;
    std::optional<StepResult> result;
    std::vector<Notification> notifications;
    UniqueKernelHandle wake{CreateEventA(nullptr, FALSE, FALSE, nullptr)}; // auto-reset
    // An FTP connect under way: an abort now leaves the session's handles in closeLater, for the
    // helper to close once the connect has returned.
    bool deferClose = false;
    std::vector<HINTERNET> closeLater;
};

namespace {

using Clock = std::chrono::steady_clock;

// Notifications carry only the context, so a context names a session. Sessions are found through
// weak references: a notification for a session that is gone finds nothing.
struct Registry {
    std::mutex mutex;
    std::map<DWORD_PTR, std::weak_ptr<InternetSessionState>> sessions;
    DWORD_PTR nextContext = 1;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

// Set on a helper thread while it runs its step: WinINet calls back on the thread of the call.
thread_local StepChannel* t_channel = nullptr;

InternetError TimedOut() {
    return InternetError::FromCode(ERROR_INTERNET_TIMEOUT, "The operation timed out.");
}

// Closes the handles, newest (children) first.
void CloseNewestFirst(const std::vector<HINTERNET>& handles) noexcept {
    for (auto it = handles.rbegin(); it != handles.rend(); ++it)
        InternetCloseHandle(*it);
}

// The handles an abort left to this helper, now that its connect has returned.
void CloseDeferred(StepChannel& channel) noexcept {
    std::vector<HINTERNET> handles;
    {
        std::lock_guard lock(channel.mutex);
        channel.deferClose = false;
        handles.swap(channel.closeLater);
    }
    CloseNewestFirst(handles);
}

// Starts `step` on a helper thread of its own. The helper owns a share of the channel and of the
// abort flag, and nothing else of ours: when the caller walks away, it may run on in WinINet for
// as long as WinINet keeps it, harming no one.
void StartStep(const std::shared_ptr<StepChannel>& channel, std::shared_ptr<std::atomic<bool>> aborted,
               InternetSessionState::Step step) {
    if (!channel->wake) {
        const DWORD error = GetLastError();
        CloseDeferred(*channel); // no helper will
        throw InternetError(error, "Cannot create an event.");
    }
    try {
        std::thread([channel, aborted = std::move(aborted), step = std::move(step)] {
            t_channel = channel.get();
            InternetSessionState::StepResult result;
            try {
                // An abort may have closed the step's handles while this thread was starting,
                // and WinINet may already have given their values to new handles: do not touch
                // them. (A window of a few instructions remains between this test and WinINet's
                // own lookup of the handle; no API closes it.)
                result = *aborted
                             ? InternetSessionState::StepResult{false, nullptr, InternetError::Cancelled()}
                             : step();
            } catch (...) {
                result = {false, nullptr, InternetError(ERROR_INTERNET_INTERNAL_ERROR, {})};
            }
            t_channel = nullptr;
            CloseDeferred(*channel);
            std::lock_guard lock(channel->mutex);
            if (!channel->abandoned) {
                channel->result = std::move(result);
                SetEvent(channel->wake.get());
            }
        }).detach();
    } catch (const std::system_error& error) {
        CloseDeferred(*channel); // no helper will
        throw InternetError(static_cast<DWORD>(error.code().value()),
                            "Cannot start a thread for the network.");
    }
}

} // namespace

InternetSessionState::InternetSessionState()
    : context_([] {
          Registry& registry = TheRegistry();
          std::lock_guard lock(registry.mutex);
          return registry.nextContext++;
      }()) {}

std::shared_ptr<InternetSessionState> InternetSessionState::Create() {
    std::shared_ptr<InternetSessionState> state(new InternetSessionState());
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    registry.sessions[state->context_] = state;
    return state;
}

InternetSessionState::~InternetSessionState() {
    CloseAll();
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    registry.sessions.erase(context_);
}

bool InternetSessionState::Adopt(HINTERNET handle) {
    std::lock_guard lock(mutex_);
    if (*aborted_)
        return false;
    handles_.push_back(handle);
    return true;
}

void InternetSessionState::Close(HINTERNET handle) noexcept {
    {
        std::lock_guard lock(mutex_);
        const auto found = std::find(handles_.begin(), handles_.end(), handle);
        if (found == handles_.end())
            return;
        handles_.erase(found);
    }
    // Outside the lock: the close raises notifications, whose handler may take its time.
    InternetCloseHandle(handle);
}

bool InternetSessionState::Owns(HINTERNET handle) const {
    std::lock_guard lock(mutex_);
    return handle != nullptr && std::find(handles_.begin(), handles_.end(), handle) != handles_.end();
}

void InternetSessionState::CloseAll() noexcept {
    std::vector<HINTERNET> handles;
    {
        std::lock_guard lock(mutex_);
        handles.swap(handles_);
    }
    CloseNewestFirst(handles);
}

void InternetSessionState::Abort() noexcept {
    std::vector<HINTERNET> handles;
    std::shared_ptr<StepChannel> connect;
    {
        std::lock_guard lock(mutex_);
        *aborted_ = true;
        handles.swap(handles_);
        connect = runningConnect_;
    }
    if (connect) {
        std::lock_guard lock(connect->mutex);
        if (connect->deferClose) {
            try {
                connect->closeLater.insert(connect->closeLater.end(), handles.begin(), handles.end());
                return;
            } catch (...) {
                // Out of memory: closing now is the lesser harm than never closing.
            }
        }
    }
    CloseNewestFirst(handles);
}

HINTERNET InternetSessionState::SessionHandle() const noexcept {
    std::lock_guard lock(mutex_);
    return handles_.empty() ? nullptr : handles_.front();
}

void InternetSessionState::SetHandler(StatusHandler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

void InternetSessionState::SetStopEvent(HANDLE stopEvent) {
    std::lock_guard lock(mutex_);
    stopEvent_ = stopEvent;
}

void InternetSessionState::SetStepTimeout(std::chrono::milliseconds timeout) {
    std::lock_guard lock(mutex_);
    stepTimeout_ = timeout;
}

void InternetSessionState::SetDeadline(Clock::time_point deadline) {
    std::lock_guard lock(mutex_);
    deadline_ = deadline;
}

bool InternetSessionState::Bounded() const {
    std::lock_guard lock(mutex_);
    return stopEvent_ != nullptr || stepTimeout_.count() > 0 || deadline_.has_value();
}

DWORD InternetSessionState::StepBudgetMs() const {
    std::lock_guard lock(mutex_);
    std::optional<long long> budget;
    if (stepTimeout_.count() > 0)
        budget = stepTimeout_.count();
    if (deadline_) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline_ - Clock::now()).count();
        budget = std::max(0LL, budget ? std::min(*budget, left) : left);
    }
    if (!budget)
        return INFINITE;
    return static_cast<DWORD>(std::min<long long>(*budget, INFINITE - 1));
}

void InternetSessionState::Deliver(DWORD status, const void* info, DWORD length) {
    if (*aborted_)
        return;
    StatusHandler handler;
    {
        std::lock_guard lock(mutex_);
        handler = handler_;
    }
    if (!handler)
        return;
    try {
        handler(status, info, length);
    } catch (...) {
        // A notification is news, not a result: a failing handler must not break the transfer.
    }
}

void CALLBACK InternetSessionState::StatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info,
                                                   DWORD length) {
    try {
        if (StepChannel* channel = t_channel) {
            // On a helper thread: hand the notification to the waiting caller, who delivers it on
            // its own thread; a caller that has walked away gets nothing more.
            StepChannel::Notification notification{status, {}, length};
            if (info != nullptr && length > 0) {
                const auto* bytes = static_cast<const char*>(info);
                notification.info.assign(bytes, bytes + length);
            }
            notification.info.push_back('\0'); // a text that WinINet passed unterminated still ends
            std::lock_guard lock(channel->mutex);
            if (channel->abandoned)
                return;
            channel->notifications.push_back(std::move(notification));
            SetEvent(channel->wake.get());
            return;
        }
        std::shared_ptr<InternetSessionState> state;
        {
            Registry& registry = TheRegistry();
            std::lock_guard lock(registry.mutex);
            const auto found = registry.sessions.find(context);
            if (found != registry.sessions.end())
                state = found->second.lock();
        }
        if (state)
            state->Deliver(status, info, length);
    } catch (...) {
        // Nothing may unwind into WinINet.
    }
}

InternetSessionState::StepResult InternetSessionState::Run(Step step, bool ftpConnect) {
    if (*aborted_)
        throw InternetError::Cancelled();
    if (!Bounded()) {
        StepResult result = step();
        if (!result.ok)
            throw result.error ? *result.error : InternetError(ERROR_INTERNET_INTERNAL_ERROR, {});
        return result;
    }

    const DWORD budget = StepBudgetMs();
    HANDLE stop;
    {
        std::lock_guard lock(mutex_);
        stop = stopEvent_;
    }
    if (stop && WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) {
        Abort();
        throw InternetError::Cancelled();
    }
    if (budget == 0) {
        Abort();
        throw TimedOut();
    }
    const auto end =
        budget == INFINITE ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(budget);

    const auto channel = std::make_shared<StepChannel>();
    if (ftpConnect) {
        // Before the helper starts, so that no abort can meet the connect unprotected.
        channel->deferClose = true;
        std::lock_guard lock(mutex_);
        runningConnect_ = channel;
    }
    // However the wait ends, an abort from now on closes at once: the connect is over for us.
    struct ConnectEnd {
        InternetSessionState& state;
        bool active;
        ~ConnectEnd() {
            if (active) {
                std::lock_guard lock(state.mutex_);
                state.runningConnect_.reset();
            }
        }
    } connectEnd{*this, ftpConnect};
    StartStep(channel, aborted_, std::move(step));

    const auto walkAway = [&](InternetError error) -> InternetError {
        {
            std::lock_guard lock(channel->mutex);
            channel->abandoned = true;
            channel->notifications.clear();
        }
        Abort();
        return error;
    };

    for (;;) {
        std::vector<StepChannel::Notification> notifications;
        std::optional<StepResult> result;
        {
            std::lock_guard lock(channel->mutex);
            notifications.swap(channel->notifications);
            result.swap(channel->result);
        }
        for (const auto& n : notifications)
            Deliver(n.status, n.info.data(), n.length);
        if (result) {
            if (!result->ok)
                throw result->error ? *result->error : InternetError(ERROR_INTERNET_INTERNAL_ERROR, {});
            return std::move(*result);
        }

        const HANDLE handles[2] = {channel->wake.get(), stop};
        const DWORD count = stop ? 2 : 1;
        DWORD wait = INFINITE;
        if (end != Clock::time_point::max()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
            wait = static_cast<DWORD>(std::max(0LL, static_cast<long long>(left)));
        }
        // Sent messages are let through so that a window thread waiting here cannot deadlock a
        // thread that sends to it.
        const DWORD woke = MsgWaitForMultipleObjects(count, handles, FALSE, wait, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0)
            continue;
        if (stop && woke == WAIT_OBJECT_0 + 1)
            throw walkAway(InternetError::Cancelled());
        if (woke == WAIT_OBJECT_0 + count) {
            MSG message;
            PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE); // dispatches the sent messages
            continue;
        }
        if (woke == WAIT_TIMEOUT) {
            std::lock_guard lock(channel->mutex);
            if (channel->result || !channel->notifications.empty())
                continue; // finished just in time
        }
        if (woke == WAIT_TIMEOUT)
            throw walkAway(TimedOut());
        throw walkAway(InternetError(GetLastError(), "Cannot wait for the network."));
    }
}

} // namespace tovra
