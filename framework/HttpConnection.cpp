#include "framework/HttpConnection.h"

#include "framework/InternetSessionState.h"

#include <utility>

namespace tovra {

HttpConnection::HttpConnection(InternetSession& session, const std::string& host, INTERNET_PORT port)
    : state_(session.state_) {
    if (!state_ || state_->Aborted())
        throw InternetError::FromCode(ERROR_INTERNET_OPERATION_CANCELLED, "The operation was cancelled.");
    // For HTTP this only records the host; the network is first touched by the request's send.
    handle_ = InternetConnectA(state_->SessionHandle(), host.c_str(), port, nullptr, nullptr,
                               INTERNET_SERVICE_HTTP, 0, state_->Context());
    if (handle_ == nullptr)
        throw InternetError::FromLastError();
    if (!state_->Adopt(handle_)) {
        handle_ = nullptr;
        throw InternetError::FromCode(ERROR_INTERNET_OPERATION_CANCELLED, "The operation was cancelled.");
    }
}

HttpConnection::~HttpConnection() {
    Close();
}

HttpConnection::HttpConnection(HttpConnection&& other) noexcept
    : state_(std::move(other.state_)), handle_(std::exchange(other.handle_, nullptr)) {}

HttpConnection& HttpConnection::operator=(HttpConnection&& other) noexcept {
    if (this != &other) {
        Close();
        state_ = std::move(other.state_);
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

void HttpConnection::Close() noexcept {
    if (state_ && handle_ != nullptr)
        state_->Close(handle_);
    handle_ = nullptr;
}

} // namespace tovra
