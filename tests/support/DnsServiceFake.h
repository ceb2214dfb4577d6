#pragma once
// The three dynamic DNS services played on one https://localhost port (dns_services.py), each as
// its provider documents it, with a certificate from a test authority of its own that nothing
// trusts until a test does (TrustedAuthority). By default each answers as the real one would for
// the account and secret it was started with; Answer() scripts the next answer of one service.
//
//     tovra::test::DnsServiceFake service("ann", "s3cret");
//     const tovra::test::TrustedAuthority trust(service.AuthorityCertificate());
//     service.Zone("example.com", "z1");
//     service.Record("z1", "A", "pc.example.com", "r1", "192.0.2.1");
//     ... update names at "localhost:" + std::to_string(service.Port()) ...
//     service.Requests();  service.Content("r1");

#include "tests/support/TestServerProcess.h"

#include <memory>
#include <string>
#include <vector>

namespace tovra::test {

struct DnsServiceRequest {
    std::string method;
    std::string path; // with its query
    std::string userAgent;
};

class DnsServiceFake {
public:
    DnsServiceFake(const std::string& account, const std::string& secret);

    unsigned short Port() const { return port_; }
    std::string Server() const { return "localhost:" + std::to_string(port_); }
    const std::string& AuthorityCertificate() const { return authority_; }

    // service: "dyndns2", "duckdns" or "cloudflare"; retryAfter empty for none.
    void Answer(const std::string& service, int status, const std::string& body,
                const std::string& retryAfter = {});
    void Zone(const std::string& name, const std::string& id);
    void Record(const std::string& zoneId, const std::string& type, const std::string& name,
                const std::string& id, const std::string& content);
    std::string Content(const std::string& recordId);
    std::vector<DnsServiceRequest> Requests();

private:
    std::unique_ptr<TestServerProcess> process_;
    unsigned short port_ = 0;
    std::string authority_;
};

} // namespace tovra::test
