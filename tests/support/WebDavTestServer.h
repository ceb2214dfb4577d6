#pragma once
// A WebDAV site over TLS (Debian's nginx, webdav_server.py) on a free loopback port, with Basic
// sign-in for one user, a certificate for "localhost" from a test authority of its own, and:
// a PUT into a missing folder answered 409, everything below /full/ answered 507. It starts in the
// constructor and is gone after the destructor.
//
//     test::WebDavTestServer dav;
//     const test::TrustedAuthority trust(dav.AuthorityCertificate());
//     PUT https://localhost:dav.Port()/ip.html as dav.User(), dav.Password();
//     EXPECT_EQ(dav.ReadFile("ip.html"), "...");

#include "tests/support/TestServerProcess.h"

#include <memory>
#include <string>

namespace tovra::test {

class WebDavTestServer {
public:
    WebDavTestServer();

    unsigned short Port() const { return port_; }
    const std::string& User() const { return user_; }
    const std::string& Password() const { return password_; }
    // The DER bytes of the authority that made the server's certificate.
    const std::string& AuthorityCertificate() const { return authority_; }

    bool FileExists(const std::string& relativePath) const;
    std::string ReadFile(const std::string& relativePath) const;

private:
    std::string user_ = "tovra";
    std::string password_ = "dav-secret";
    std::unique_ptr<TestServerProcess> process_;
    unsigned short port_ = 0;
    std::string rootWindows_;
    std::string authority_;
};

} // namespace tovra::test
