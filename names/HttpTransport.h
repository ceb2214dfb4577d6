#pragma once
// One HTTPS request to an update service, as the service clients see it. The clients are written
// against this seam so that their exchanges, every answer code and the polite rules are proven on
// the host; WinHttpsTransport makes the real requests.

#include <string>
#include <utility>
#include <vector>

namespace tovra {

struct HttpRequest {
    std::string method; // "GET", "PATCH"
    std::string server; // host[:port]; always over TLS, port 443 by default
    std::string path;   // with its query, already encoded
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
};

struct HttpReply {
    enum class Failure {
        None,        // the service answered: status and body hold its answer
        NoAnswer,    // not reached, or no answer (detail says why when known)
        Certificate, // its certificate is not trusted: nothing was read from it
        Stopped,     // the program is closing
    };
    Failure failure = Failure::NoAnswer;
    unsigned long status = 0;
    std::string body;
    std::string retryAfter; // the Retry-After header, as sent
    std::string detail;
};

class HttpTransport {
public:
    virtual ~HttpTransport() = default;
    virtual HttpReply Send(const HttpRequest& request) = 0;
};

} // namespace tovra
