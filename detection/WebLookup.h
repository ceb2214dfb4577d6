#pragma once
// Asks one IP echo site for the address it sees: a GET of the site's page through the system's
// configured proxy, and the first IPv4 address on the first bytes of a 2xx reply. The answer is
// the address, or why the site gave none.
//
// Redirects are followed here, not by WinINet: at most kMaxRedirects, from http to https but
// never to another scheme or back down to http, and never to a page already asked in the same
// lookup. Each one is a new request, started only while Ask still waits, so a lookup given up at
// its deadline sends nothing more.
//
// An https answer is read only when it came over TLS with a certificate the PC trusts for the
// site's name. A revocation server that cannot be reached (behind proxies, on captive portals,
// just after wake) is asked about once more with only that check relaxed, as browsers do.
//
// Threads: Ask blocks the calling thread until the site has answered, the deadline has passed or
// the stop event is signalled, whichever comes first; the lookup itself is an InternetExchange
// keyed by the site's host and port. One object may serve any number of lookups, one at a time.

#include "detection/IpSite.h"

#include <windows.h>

#include <string>
#include <string_view>

namespace tovra {

// Why a site gave no address.
enum class LookupFailure {
    None,        // it named an address
    NoAnswer,    // not reached, or it closed the connection without answering
    TimedOut,    // no answer within the deadline
    HttpStatus,  // it answered with a status other than 2xx
    NoAddress,   // its page names no IPv4 address
    Certificate, // its certificate is not trusted
    NotOverTls,  // an https answer that did not come over TLS (a proxy's own, say)
    TlsVersion,  // the PC and the site have no TLS version in common
    ProxySignIn, // the proxy refused the sign-in
    ProxyScheme, // the proxy asked for a sign-in other than Basic
    Redirects,   // a redirect loop, or a redirect to nowhere usable
    StillBusy,   // an earlier lookup given up at its deadline still holds the site
    Stopped,     // the check was stopped
};

struct LookupResult {
    std::string address; // dotted-decimal, empty unless failure is None
    LookupFailure failure = LookupFailure::NoAnswer;
    unsigned long httpStatus = 0; // the status answered, when there was one
    std::string detail;           // WinINet's text for the failure, when it has one
    // The page that failed, when a redirect led there from the site asked ("https://host/path").
    std::string redirectedTo;
    // The revocation of an https site's certificate could not be checked; it was read as browsers
    // read it, with every other check of its chain made.
    bool revocationUnchecked = false;
};

// The sign-in that a proxy asking for one is given; none when the user name is empty.
struct ProxyCredentials {
    std::string userName;
    std::string password;
};

class WebLookup {
public:
    // How long one site may take before the next is asked. A lookup through a loopback echo site
    // takes 5 to 30 ms under Wine; 10 s leaves a slow real site ample room, while five dead ones
    // still cost under a minute, well inside the interval between timed checks.
    static constexpr DWORD kDeadlineMs = 10000;
    static constexpr int kMaxRedirects = 5;

    // stopEvent: a manual-reset event that ends a running lookup at once (not owned).
    explicit WebLookup(HANDLE stopEvent, DWORD deadlineMs = kDeadlineMs);

    LookupResult Ask(const IpSite& site, const ProxyCredentials& proxy = {}) const;

    // The log line that says why `siteName` gave no address, in the user's words; empty for a
    // lookup that named one or was stopped.
    std::string FailureLine(std::string_view siteName, const LookupResult& result) const;
    // A line to log before the answer's own: why it was read although a check could not be made;
    // empty when every check was made.
    static std::string NoteLine(std::string_view siteName, const LookupResult& result);

private:
    HANDLE stopEvent_;
    DWORD deadlineMs_;
};

} // namespace tovra
