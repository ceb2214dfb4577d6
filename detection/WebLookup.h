#pragma once
// Asks one IP echo site for the address it sees: a GET of the site's page through the system's
// configured proxy, and the first IPv4 address on the first bytes of a 2xx reply. The answer is
// the address, or why the site gave none.
//
// Threads: a lookup runs on the thread that calls Ask and blocks it until the site has answered,
// the deadline has passed or the stop event is signalled, whichever comes first. One object may
// serve any number of lookups, one at a time.

#include "detection/IpSite.h"

#include <windows.h>

#include <string>

namespace tovra {

// Why a site gave no address.
enum class LookupFailure {
    None,        // it named an address
    NoAnswer,    // not reached, or it closed the connection without answering
    TimedOut,    // no answer within the deadline
    HttpStatus,  // it answered with a status other than 2xx
    NoAddress,   // its page names no IPv4 address
    Certificate, // its certificate is not trusted
    ProxySignIn, // the proxy refused the sign-in
    Redirects,   // a redirect loop, or a redirect to nowhere usable
    Stopped,     // the check was stopped
};

struct LookupResult {
    std::string address; // dotted-decimal, empty unless failure is None
    LookupFailure failure = LookupFailure::NoAnswer;
    unsigned long httpStatus = 0; // the status answered, when there was one
    std::string detail;           // WinINet's text for the failure, when it has one
};

class WebLookup {
public:
    // How long one site may take before the next is asked. A lookup through a loopback echo site
    // takes 5 to 30 ms under Wine; 10 s leaves a slow real site ample room, while five dead ones
    // still cost under a minute, well inside the interval between timed checks.
    static constexpr DWORD kDeadlineMs = 10000;

    // stopEvent: a manual-reset event that ends a running lookup at once (not owned).
    explicit WebLookup(HANDLE stopEvent, DWORD deadlineMs = kDeadlineMs);

    LookupResult Ask(const IpSite& site) const;

private:
    // Ask's work; throws (InternetError, mostly) for every way the exchange can fail.
    LookupResult Fetch(const IpSite& site) const;

    HANDLE stopEvent_;
    DWORD deadlineMs_;
};

} // namespace tovra
