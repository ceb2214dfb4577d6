#include "upload/StatusLogSession.h"

#include "upload/StatusText.h"

#include <cstring>
#include <string>

namespace tovra {

// Direct, never the system's proxy: on Windows a proxy set in Settings applies to every protocol,
// and WinINet cannot carry FTP through an HTTP proxy, so every upload would fail on such a PC.
CStatusLogSession::CStatusLogSession(LogSink* owner)
    : InternetSession("Tovra", INTERNET_OPEN_TYPE_DIRECT), owner_(owner) {
    SetStatusHandler([this](DWORD status, const void* information, DWORD informationLength) {
        OnStatusCallback(status, information, informationLength);
    });
}

CStatusLogSession::~CStatusLogSession() {
    Close();
}

void CStatusLogSession::OnStatusCallback(DWORD status, const void* information, DWORD informationLength) {
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
