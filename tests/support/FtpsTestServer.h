#pragma once
// FTP over TLS servers on a free loopback port (tests/support/ftps_servers.py), each with a
// temporary home and a certificate for "localhost" from a test authority of the test program's
// own. Kind Pyftpdlib signs in User()/Password() and has switchable faults; kind Vsftpd is
// Debian's vsftpd at its strictest (TLS forced for sign-in and data, data connections must resume
// the control connection's TLS session), signing in "anonymous" and writing below "/pub".
//
//     static tovra::test::FtpsTestServer ftps(FtpsTestServer::Kind::Pyftpdlib);
//     static tovra::test::TrustedAuthority trust(ftps.AuthorityCertificate()); // before any TLS
//     tovra::test::FtpsTestServer vsftpd(FtpsTestServer::Kind::Vsftpd, &ftps); // same authority
//
// Wine reads the trusted roots once per process, so every server of a test program shares the
// authority of the first one (pass it as `sameAuthorityAs`), which must outlive the others.

#include "tests/support/TestServerProcess.h"

#include <memory>
#include <string>
#include <vector>

namespace tovra::test {

class FtpsTestServer {
public:
    // VsftpdWithoutReuse is as strict, but accepts a data connection that does not resume the
    // control connection's TLS session (Wine's Schannel never resumes one).
    enum class Kind { Pyftpdlib, Vsftpd, VsftpdWithoutReuse };

    explicit FtpsTestServer(Kind kind, const FtpsTestServer* sameAuthorityAs = nullptr);

    unsigned short Port() const { return port_; }
    const std::string& User() const { return user_; }
    const std::string& Password() const { return password_; }
    const std::string& AuthorityCertificate() const { return authority_; }

    // Pyftpdlib only: a fault by its name in ftps_servers.py ("auth", "cut", ...; "none").
    void SetFault(const std::string& fault);
    // Pyftpdlib only: every command line received so far, passwords included.
    std::vector<std::string> Commands();

    bool FileExists(const std::string& relativePath) const;
    std::string ReadFile(const std::string& relativePath) const;
    void WriteFile(const std::string& relativePath, const std::string& bytes) const;

private:
    std::string WindowsPathOf(const std::string& relativePath) const;

    std::unique_ptr<TestServerProcess> process_;
    std::string user_;
    std::string password_;
    unsigned short port_ = 0;
    std::string homeWindows_;
    std::string certificatesUnix_;
    std::string authority_;
};

} // namespace tovra::test
