#include "framework/HttpRequest.h"

#include "framework/InternetSessionState.h"

#include <algorithm>

namespace tovra {

namespace {

InternetSessionState::StepResult Failed() {
    return {false, nullptr, InternetError::FromLastError()};
}

} // namespace

HttpRequest::HttpRequest(HttpConnection& connection, const std::string& path, DWORD flags,
                         const std::string& verb) {
    HINTERNET parent = connection.handle_.Live();
    if (parent == nullptr)
        throw InternetError::Cancelled();
    const std::shared_ptr<InternetSessionState>& state = connection.handle_.State();
    HINTERNET handle = HttpOpenRequestA(parent, verb.c_str(), path.c_str(), nullptr, nullptr, nullptr, flags,
                                        state->Context());
    if (handle == nullptr)
        throw InternetError::FromLastError();
    handle_ = SessionHandle(state, handle);
}

void HttpRequest::Close() noexcept {
    handle_.Close();
}

void HttpRequest::BoundHandleTimeouts(HINTERNET handle) {
    // Wine honours the receive time-out only when it is set on the request or connection handle,
    // and it is what ends a helper thread that a stopped or timed-out step left behind.
    DWORD budget = handle_.State()->StepBudgetMs();
    if (budget == INFINITE)
        return;
    budget = std::max<DWORD>(budget, 1);
    for (DWORD option :
         {INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_CONNECT_TIMEOUT})
        InternetSetOptionA(handle, option, &budget, sizeof budget);
}

void HttpRequest::Send() {
    HINTERNET handle = handle_.Live();
    if (handle == nullptr)
        throw InternetError::Cancelled();
    BoundHandleTimeouts(handle);
    handle_.State()->Run([handle]() -> InternetSessionState::StepResult {
        if (!HttpSendRequestA(handle, nullptr, 0, nullptr, 0))
            return Failed();
        return {true, nullptr, std::nullopt};
    });
}

DWORD HttpRequest::StatusCode() const noexcept {
    HINTERNET handle = handle_.Live();
    if (handle == nullptr)
        return 0;
    DWORD code = 0;
    DWORD length = sizeof code;
    if (!HttpQueryInfoA(handle, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &length, nullptr))
        return 0;
    return code;
}

std::string HttpRequest::Header(DWORD query) const {
    HINTERNET handle = handle_.Live();
    if (handle == nullptr)
        return {};
    std::string text(256, '\0');
    DWORD length = static_cast<DWORD>(text.size());
    if (!HttpQueryInfoA(handle, query, text.data(), &length, nullptr)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length > 0x10000)
            return {};
        text.assign(length + 1, '\0');
        if (!HttpQueryInfoA(handle, query, text.data(), &length, nullptr))
            return {};
    }
    text.resize(length);
    return text;
}

std::string HttpRequest::Read(std::size_t maxBytes) {
    HINTERNET handle = handle_.Live();
    if (handle == nullptr)
        throw InternetError::Cancelled();
    BoundHandleTimeouts(handle);
    // The helper fills a buffer of its own: if the caller walks away, the helper's writes land
    // in memory nobody else uses.
    auto body = std::make_shared<std::string>(maxBytes, '\0');
    handle_.State()->Run([handle, body, maxBytes]() -> InternetSessionState::StepResult {
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
