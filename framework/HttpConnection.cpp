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

void HttpConnection::Close() noexcept {
    handle_.Close();
}

} // namespace tovra
