#pragma once
// Fake IP echo sites: one loopback HTTP server that WinINet uses as its proxy, so requests for
// the real echo host names reach it unchanged ("GET http://HOST:80/PATH HTTP/1.1"). Per host it
// answers with a chosen status and body, hangs, or drops the connection, and it records what it
// was asked. It starts in the constructor and ends with Stop() or the destructor.
//
//     tovra::test::EchoProxyServer echo;
//     echo.UseAsProxyForThisProcess();        // http_proxy=127.0.0.1:PORT for WinINet's PRECONFIG
//     echo.Answer("api.ipify.org", 200, "84.12.3.7");
//     echo.Hang("checkip.dyndns.org");
//     ... the code under test asks ...
//     auto asked = echo.Requests();           // request line, Host and User-Agent, oldest first
//
// The proxy is set through the process's http_proxy variable, not the registry, so that test
// programs running at the same time in one Wine prefix cannot take each other's proxy. Wine's
// WinINet reads it at every InternetOpen with INTERNET_OPEN_TYPE_PRECONFIG, unless the prefix's
// registry enables a proxy of its own.
// Other failures: a host listed in no_proxy bypasses the proxy and, with no network, fails name
// resolution (12007): that is an unresolvable host. After Stop() the proxy port refuses, and
// every request fails to connect (12029): that is a refused connection.
// Hosts never configured are answered "502 Bad Gateway" with an empty body.
// Use one object from one thread at a time (a test's helper thread may poll Requests() while
// the test's own thread is blocked in the code under test).

#include "tests/support/TestServerProcess.h"

#include <memory>
#include <string>
#include <vector>

namespace tovra::test {

struct EchoRequest {
    std::string requestLine;        // "GET http://api.ipify.org:80/ HTTP/1.1" or as the client sent it
    std::string host;               // the Host header
    std::string userAgent;          // the User-Agent header
    std::string proxyAuthorization; // the Proxy-Authorization header, "Basic ..." or empty
};

class EchoProxyServer {
public:
    // tls: one echo site on https://localhost:Port() instead of a proxy, its certificate from a
    // test authority of its own (AuthorityCertificate()), which nothing trusts until a test does.
    // tls13Only: that site speaks TLS 1.3 and nothing older, as a PC without it meets a modern site.
    explicit EchoProxyServer(bool tls = false, bool tls13Only = false);
    ~EchoProxyServer();

    unsigned short Port() const { return port_; }
    // The DER bytes of the test authority's certificate (tls only).
    const std::string& AuthorityCertificate() const { return authority_; }

    // Sets http_proxy (and clears no_proxy) for this process until Stop() or the destructor,
    // which restore the previous values. Set before the code under test opens its session.
    void UseAsProxyForThisProcess();
    // Makes `hosts` (comma separated) bypass the proxy.
    void SetNoProxy(const std::string& hosts);

    void Answer(const std::string& host, int status, const std::string& body);
    // Accepts the request and never answers (until the server stops).
    void Hang(const std::string& host);
    // Answers 200 with headers that promise more than `body`, sends `body`, then nothing more.
    void HangAfterHeaders(const std::string& host, const std::string& body);
    // Closes the connection without any answer.
    void Drop(const std::string& host);
    // Sends a status line, then one header line every 0.3 s for ever.
    void Trickle(const std::string& host);
    // Answers 302 with this Location.
    void Redirect(const std::string& host, const std::string& location);
    // From now on, answers 407 to every request that does not sign in with Basic user:password.
    // Refuses every CONNECT (the tunnel to an https site) with 407 too.
    void RequireSignIn(const std::string& user, const std::string& password);
    // The Proxy-Authenticate headers of each 407, one a challenge (`Basic realm="tovra-test"`).
    void Challenge(const std::vector<std::string>& challenges);

    std::vector<EchoRequest> Requests();

    void Stop();

private:
    void RestoreEnvironment();

    std::unique_ptr<TestServerProcess> process_;
    unsigned short port_ = 0;
    std::string authority_;
    bool environmentSet_ = false;
    std::string savedHttpProxy_;
    std::string savedNoProxy_;
    bool hadHttpProxy_ = false;
    bool hadNoProxy_ = false;
};

} // namespace tovra::test
