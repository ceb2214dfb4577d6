#include "detection/WebLookup.h"

#include "detection/AddressScan.h"
#include "framework/HttpConnection.h"
#include "framework/HttpRequest.h"
#include "framework/InternetSession.h"

#include <chrono>

namespace tovra {
namespace {

// Sent as the User-Agent.
constexpr char kAgent[] = "Tovra";

// The echo sites' answer changes with the address, so a cached page would report an old one.
// Nothing here may show a dialog: the checker runs unattended.
constexpr DWORD kRequestFlags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_RELOAD |
                                INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI;

LookupFailure FailureOf(DWORD code) {
    switch (code) {
    case ERROR_INTERNET_TIMEOUT:
        return LookupFailure::TimedOut;
    case ERROR_INTERNET_OPERATION_CANCELLED:
        return LookupFailure::Stopped;
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
    case ERROR_INTERNET_SEC_INVALID_CERT:
        return LookupFailure::Certificate;
    default:
        return LookupFailure::NoAnswer;
    }
}

} // namespace

WebLookup::WebLookup(HANDLE stopEvent, DWORD deadlineMs) : stopEvent_(stopEvent), deadlineMs_(deadlineMs) {}

LookupResult WebLookup::Ask(const IpSite& site) const {
    try {
        return Fetch(site);
    } catch (const InternetError& error) {
        return {{}, FailureOf(error.Code()), 0, error.Text()};
    } catch (const std::exception&) {
        // The system refusing a thread or an event for the bounded steps means the same to the
        // user: this site gave no address.
        return {};
    }
}

LookupResult WebLookup::Fetch(const IpSite& site) const {
    InternetSession session(kAgent);
    session.SetStopEvent(stopEvent_);
    session.SetDeadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs_));
    HttpConnection connection(session, site.host, EffectivePort(site));
    const DWORD secure = site.scheme == IpSiteScheme::Https ? INTERNET_FLAG_SECURE : 0;
    HttpRequest request(connection, site.path, kRequestFlags | secure);
    request.Send();
    // An error page may well name an address (the proxy's, say): only a 2xx answer counts.
    const DWORD status = request.StatusCode();
    // Wine reports a connection closed without any reply as status 0.
    if (status == 0)
        return {{}, LookupFailure::NoAnswer, 0, {}};
    if (status / 100 != 2)
        return {{}, LookupFailure::HttpStatus, status, {}};
    const std::uint32_t address = FindFirstAddress(request.Read(kPageReadBytes));
    if (address == 0)
        return {{}, LookupFailure::NoAddress, status, {}};
    return {DottedQuadText(address), LookupFailure::None, status, {}};
}

} // namespace tovra
