#include "framework/HttpConnection.h"

#include "framework/InternetSessionState.h"

namespace tovra {

HttpConnection::HttpConnection(InternetSession& session, const std::string& host, INTERNET_PORT port) {
    const std::shared_ptr<InternetSessionState>& state = session.state_;
    if (!state || state->Aborted())
        throw InternetError::Cancelled();
    // For HTTP this only records the host; the network is first touched by the request's send.
    HINTERNET handle = InternetConnectA(state->SessionHandle(), host.c_str(), port, nullptr, nullptr,
                                        INTERNET_SERVICE_HTTP, 0, state->Context());
    if (handle == nullptr)
        throw InternetError::FromLastError();
    handle_ = SessionHandle(state, handle);
}

void HttpConnection::SetProxyCredentials(const std::string& user, const std::string& password) {
    HINTERNET handle = handle_.Live();
    if (handle == nullptr)
        return;
    // The length is in characters; the texts need not outlive the call.
    InternetSetOptionA(handle, INTERNET_OPTION_PROXY_USERNAME, const_cast<char*>(user.c_str()),
                       static_cast<DWORD>(user.size()));
    InternetSetOptionA(handle, INTERNET_OPTION_PROXY_PASSWORD, const_cast<char*>(password.c_str()),
                       static_cast<DWORD>(password.size()));
}

void HttpConnection::Close() noexcept {
    handle_.Close();
}

} // namespace tovra
