#pragma once
// An HTTP connection to one host (InternetConnectA with INTERNET_SERVICE_HTTP). Opening it does
// not touch the network; the request does. Requests are HttpRequest objects opened on it.

#include "framework/InternetSession.h"
#include "framework/SessionHandle.h"

#include <string>

namespace tovra {

class HttpConnection {
public:
    // Throws InternetError. port INTERNET_INVALID_PORT_NUMBER is the default HTTP port, 80.
    HttpConnection(InternetSession& session, const std::string& host,
                   INTERNET_PORT port = INTERNET_INVALID_PORT_NUMBER);

    // The user name and password its requests give a proxy that asks for a sign-in.
    void SetProxyCredentials(const std::string& user, const std::string& password);

    void Close() noexcept;

private:
    friend class HttpRequest;
    SessionHandle handle_;
};

} // namespace tovra
