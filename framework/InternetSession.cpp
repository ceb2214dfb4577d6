#include "framework/InternetSession.h"

#include "framework/InternetSessionState.h"

namespace tovra {

InternetSession::InternetSession(const std::string& agent, DWORD accessType)
    : state_(InternetSessionState::Create()) {
    HINTERNET handle = InternetOpenA(agent.c_str(), accessType, nullptr, nullptr, 0);
    if (handle == nullptr)
        throw InternetError::FromLastError();
    state_->Adopt(handle);
}

InternetSession::~InternetSession() {
    Close();
}

bool InternetSession::SetOption(DWORD option, DWORD value) {
    HINTERNET handle = Handle();
    return handle != nullptr && InternetSetOptionA(handle, option, &value, sizeof value);
}

void InternetSession::SetStatusHandler(StatusHandler handler) {
    HINTERNET handle = Handle();
    if (handle == nullptr)
        return;
    const bool enable = static_cast<bool>(handler);
    state_->SetHandler(std::move(handler));
    InternetSetStatusCallbackA(handle, enable ? &InternetSessionState::StatusCallback : nullptr);
}

void InternetSession::SetStopEvent(HANDLE stopEvent) {
    state_->SetStopEvent(stopEvent);
}

void InternetSession::SetStepTimeout(std::chrono::milliseconds timeout) {
    state_->SetStepTimeout(timeout);
}

void InternetSession::SetDeadline(std::chrono::steady_clock::time_point deadline) {
    state_->SetDeadline(deadline);
}

void InternetSession::Abort() noexcept {
    if (state_)
        state_->Abort();
}

bool InternetSession::Aborted() const noexcept {
    return state_ && state_->Aborted();
}

void InternetSession::Close() noexcept {
    if (state_)
        state_->CloseAll();
}

HINTERNET InternetSession::Handle() const noexcept {
    return state_ ? state_->SessionHandle() : nullptr;
}

} // namespace tovra
