#include "framework/HttpRequest.h"

#include "framework/InternetSessionState.h"

#include <algorithm>
#include <utility>

namespace tovra {

namespace {

InternetSessionState::StepResult Failed() {
    return {false, nullptr, InternetError::FromLastError()};
}

} // namespace

HttpRequest::HttpRequest(HttpConnection& connection, const std::string& path, DWORD flags,
                         const std::string& verb)
    : state_(connection.state_) {
    if (!state_ || !state_->Owns(connection.handle_))
        throw InternetError::FromCode(ERROR_INTERNET_OPERATION_CANCELLED, "The operation was cancelled.");
    handle_ = HttpOpenRequestA(connection.handle_, verb.c_str(), path.c_str(), nullptr, nullptr, nullptr,
                               flags, state_->Context());
    if (handle_ == nullptr)
        throw InternetError::FromLastError();
    if (!state_->Adopt(handle_)) {
        handle_ = nullptr;
        throw InternetError::FromCode(ERROR_INTERNET_OPERATION_CANCELLED, "The operation was cancelled.");
    }
}

HttpRequest::~HttpRequest() {
    Close();
}

HttpRequest::HttpRequest(HttpRequest&& other) noexcept
    : state_(std::move(other.state_)), handle_(std::exchange(other.handle_, nullptr)) {}

HttpRequest& HttpRequest::operator=(HttpRequest&& other) noexcept {
    if (this != &other) {
        Close();
        state_ = std::move(other.state_);
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

void HttpRequest::Close() noexcept {
    if (state_ && handle_ != nullptr)
        state_->Close(handle_);
    handle_ = nullptr;
}

void HttpRequest::BoundHandleTimeouts() {
    // Wine honours the receive time-out only when it is set on the request or connection handle,
    // and it is what ends a helper thread that a stopped or timed-out step left behind.
    DWORD budget = state_->StepBudgetMs();
    if (budget == INFINITE)
        return;
    budget = std::max<DWORD>(budget, 1);
    for (DWORD option :
         {INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_CONNECT_TIMEOUT})
        InternetSetOptionA(handle_, option, &budget, sizeof budget);
}

void HttpRequest::Send() {
    if (!state_ || !state_->Owns(handle_))
        throw InternetError::FromCode(ERROR_INTERNET_OPERATION_CANCELLED, "The operation was cancelled.");
    BoundHandleTimeouts();
    HINTERNET handle = handle_;
    state_->Run([handle]() -> InternetSessionState::StepResult {
        if (!HttpSendRequestA(handle, nullptr, 0, nullptr, 0))
            return Failed();
        return {true, nullptr, std::nullopt};
    });
}

DWORD HttpRequest::StatusCode() const noexcept {
    if (!state_ || !state_->Owns(handle_))
        return 0;
    DWORD code = 0;
    DWORD length = sizeof code;
    if (!HttpQueryInfoA(handle_, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &length, nullptr))
        return 0;
    return code;
}

std::string HttpRequest::Read(std::size_t maxBytes) {
    if (!state_ || !state_->Owns(handle_))
        throw InternetError::FromCode(ERROR_INTERNET_OPERATION_CANCELLED, "The operation was cancelled.");
    BoundHandleTimeouts();
    // The helper fills a buffer of its own: if the caller walks away, the helper's writes land
    // in memory nobody else uses.
    auto body = std::make_shared<std::string>(maxBytes, '\0');
    HINTERNET handle = handle_;
    state_->Run([handle, body, maxBytes]() -> InternetSessionState::StepResult {
        std::size_t total = 0;
        while (total < maxBytes) {
            const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(maxBytes - total, 0x10000));
            DWORD got = 0;
            if (!InternetReadFile(handle, body->data() + total, wanted, &got))
                return Failed();
            if (got == 0)
                break;
            total += got;
        }
        body->resize(total);
        return {true, nullptr, std::nullopt};
    });
    return std::move(*body);
}

} // namespace tovra
