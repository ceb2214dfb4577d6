#include "upload/StatusLogSession.h"

#include "upload/StatusText.h"

#include <cstring>
#include <string>

namespace tovra {

CStatusLogSession::~CStatusLogSession() {
    Close();
}

bool CStatusLogSession::Open() {
    ownerThreadId_ = ::GetCurrentThreadId();
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

void CALLBACK CStatusLogSession::StatusCallback(HINTERNET, DWORD_PTR context, DWORD status,
                                                LPVOID information, DWORD informationLength) {
    // Handles opened without our context (there are none) would carry 0.
    if (context == 0)
        return;
    try {
        reinterpret_cast<CStatusLogSession*>(context)->OnStatusCallback(status, information,
                                                                        informationLength);
    } catch (...) {
        // A lost status line is better than an exception unwinding through WinINet.
    }
}

void CStatusLogSession::OnStatusCallback(DWORD status, const void* information, DWORD informationLength) {
    // Closing the handle from another thread (a deadline, a stop) raises notifications there;
    // the log must not be entered from that thread, which may be the one the log lives on.
    if (owner_ == nullptr || ::GetCurrentThreadId() != ownerThreadId_)
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
