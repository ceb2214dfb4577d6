#pragma once
// The outbound Schannel credentials of one posting. Every connection of the posting (the control
// connection and each data connection) is secured with this one handle and the same target name:
// Schannel resumes a cached TLS session only then, and servers such as vsftpd refuse a data
// connection that does not resume the control connection's session.
//
// The server's certificate is not left to Schannel: SecureSocket checks it the way Windows checks
// a web site's, so the result and its wording are the same on every Windows version and Wine.

#define SECURITY_WIN32
#include <windows.h>
#include <security.h>

namespace tovra {

class TlsCredentials {
public:
    // Throws std::runtime_error when Windows' TLS libraries cannot be loaded or Schannel refuses
    // to hand out credentials. SecureSocket relies on those libraries being loaded once it exists.
    TlsCredentials();
    ~TlsCredentials();
    TlsCredentials(const TlsCredentials&) = delete;
    TlsCredentials& operator=(const TlsCredentials&) = delete;

    CredHandle* Handle() noexcept { return &handle_; }

private:
    CredHandle handle_{};
};

} // namespace tovra
