#include "upload/StatusLogSession.h"

#include "upload/StatusText.h"

#include <atomic>
#include <cstring>
#include <unordered_map>
#include <string>

namespace tovra {
namespace {

// The sessions that may receive notifications, by context, with the thread that uses each.
struct LiveSession {
    CStatusLogSession* session;
    DWORD threadId;
};
std::mutex liveMutex;
std::unordered_map<DWORD_PTR, LiveSession>& LiveSessions() {
    static std::unordered_map<DWORD_PTR, LiveSession> sessions;
    return sessions;
}
std::atomic<DWORD_PTR> lastContext{0};

} // namespace

CStatusLogSession::CStatusLogSession(LogSink* owner) : owner_(owner), context_(++lastContext) {}

CStatusLogSession::~CStatusLogSession() {
    Close();
    std::lock_guard<std::mutex> lock(liveMutex);
    LiveSessions().erase(context_);
}

bool CStatusLogSession::Open() {
    {
        std::lock_guard<std::mutex> lock(liveMutex);
        LiveSessions()[context_] = {this, ::GetCurrentThreadId()};
    }
    UniqueInternetHandle handle(::InternetOpenA("Tovra", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!handle)
        return false;
    if (::InternetSetStatusCallbackA(handle.get(), &CStatusLogSession::StatusCallback) ==
        INTERNET_INVALID_STATUS_CALLBACK)
        return false;
    std::lock_guard<std::mutex> lock(mutex_);
    handle_ = std::move(handle);
    return true;
}

bool CStatusLogSession::SetOption(DWORD option, DWORD value) {
    const HINTERNET handle = Handle();
    return handle != nullptr && ::InternetSetOptionA(handle, option, &value, sizeof value) != FALSE;
}

HINTERNET CStatusLogSession::Handle() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return handle_.get();
}

void CStatusLogSession::Close() {
    UniqueInternetHandle closing;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing = std::move(handle_);
    }
    // Closed outside the lock: the close raises notifications, which must not wait for it.
}

void CStatusLogSession::Interrupt() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!replyAwaited_) {
            interruptPending_ = true;
            return;
        }
    }
    Close();
}

void CALLBACK CStatusLogSession::StatusCallback(HINTERNET, DWORD_PTR context, DWORD status,
                                                LPVOID information, DWORD informationLength) {
    CStatusLogSession* session = nullptr;
    {
        // Closing the handle from another thread (a deadline, a stop) raises notifications
        // there; the log must not be entered from that thread, which may be the one the log
        // lives on. On the session's own thread the session is alive: only that thread
        // destroys it, and not while it is inside a WinINet call.
        std::lock_guard<std::mutex> lock(liveMutex);
        const auto live = LiveSessions().find(context);
        if (live == LiveSessions().end() || live->second.threadId != ::GetCurrentThreadId())
            return;
        session = live->second.session;
    }
    try {
        session->OnStatusCallback(status, information, informationLength);
    } catch (...) {
        // A lost status line is better than an exception unwinding through WinINet.
    }
}

void CStatusLogSession::OnStatusCallback(DWORD status, const void* information, DWORD informationLength) {
    if (status == INTERNET_STATUS_RECEIVING_RESPONSE) {
        bool interrupt = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!replyAwaited_) {
                replyAwaited_ = true;
                interrupt = interruptPending_;
            }
        }
        // The socket exists now: the close reaches it, and the wait for the reply ends at once.
        if (interrupt)
            Close();
    }
    if (owner_ == nullptr)
        return;
    std::string info;
    if ((status == INTERNET_STATUS_RESOLVING_NAME || status == INTERNET_STATUS_NAME_RESOLVED) &&
        information != nullptr) {
        const char* text = static_cast<const char*>(information);
        info.assign(text, strnlen(text, informationLength));
    }
    owner_->AppendLog(FormatStatusText(::GetCurrentThreadId(), status, info));
}

} // namespace tovra
