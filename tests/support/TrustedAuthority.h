#pragma once
// Makes a test's own certificate authority trusted for the Wine prefix, for the object's life:
// the current user's root store holds it until the destructor takes it out again.
//
//     test::EchoProxyServer site(/*tls=*/true);
//     const test::TrustedAuthority trust(site.AuthorityCertificate());
//     ... https://localhost:site.Port() is now trusted ...
//
// Make it before the process asks anything over TLS. Wine's default chain engine, the one WinINet
// verifies with, reads the trusted roots once, when the process builds its first chain; an
// authority added later is not seen by that process (its sites fail as if nobody trusted it),
// and one removed later stays trusted in it.

#include <string>

namespace tovra::test {

class TrustedAuthority {
public:
    // der: the authority's certificate. Throws when the store refuses it.
    explicit TrustedAuthority(const std::string& der);
    ~TrustedAuthority();

    TrustedAuthority(const TrustedAuthority&) = delete;
    TrustedAuthority& operator=(const TrustedAuthority&) = delete;

private:
    std::string der_;
};

} // namespace tovra::test
