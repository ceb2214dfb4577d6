#include "detection/WebLookup.h"

#include "detection/AddressScan.h"
#include "detection/RedirectTarget.h"
#include "framework/HttpConnection.h"
#include "framework/HttpRequest.h"
#include "framework/InternetSession.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace tovra {
namespace {

// Sent as the User-Agent.
constexpr char kAgent[] = "Tovra";

// The echo sites' answer changes with the address, so a cached page would report an old one.
// Nothing here may show a dialog: the checker runs unattended. Redirects are ours to follow.
constexpr DWORD kRequestFlags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_RELOAD |
                                INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI |
                                INTERNET_FLAG_NO_AUTO_REDIRECT;

// Enough of a 407 page to let the connection be used again for the signed-in request.
constexpr std::size_t kDiscardedBodyBytes = 0x10000;

constexpr DWORD kProxySignInRequired = 407;

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

bool IsRedirect(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// One GET of one page. A redirect comes back as an HttpStatus failure with its Location.
LookupResult AskPage(InternetSession& session, const IpSite& site, const ProxyCredentials& proxy,
                     std::string& location) {
    HttpConnection connection(session, site.host, EffectivePort(site));
    if (!proxy.userName.empty())
        connection.SetProxyCredentials(proxy.userName, proxy.password);
    const DWORD secure = site.scheme == IpSiteScheme::Https ? INTERNET_FLAG_SECURE : 0;
    HttpRequest request(connection, site.path, kRequestFlags | secure);
    request.Send();
    DWORD status = request.StatusCode();
    if (status == kProxySignInRequired && !proxy.userName.empty()) {
        // WinINet may wait for the challenge before it signs in: answer it once.
        request.Read(kDiscardedBodyBytes);
        request.Send();
        status = request.StatusCode();
    }
    // Wine reports a connection closed without any reply as status 0.
    if (status == 0)
        return {{}, LookupFailure::NoAnswer, 0, {}};
    if (status == kProxySignInRequired)
        return {{}, LookupFailure::ProxySignIn, status, {}};
    // An error page may well name an address (the proxy's, say): only a 2xx answer counts.
    if (status / 100 != 2) {
        if (IsRedirect(status))
            location = request.Header(HTTP_QUERY_LOCATION);
        return {{}, LookupFailure::HttpStatus, status, {}};
    }
    const std::uint32_t address = FindFirstAddress(request.Read(kPageReadBytes));
    if (address == 0)
        return {{}, LookupFailure::NoAddress, status, {}};
    return {DottedQuadText(address), LookupFailure::None, status, {}};
}

} // namespace

WebLookup::WebLookup(HANDLE stopEvent, DWORD deadlineMs) : stopEvent_(stopEvent), deadlineMs_(deadlineMs) {}

LookupResult WebLookup::Ask(const IpSite& site, const ProxyCredentials& proxy) const {
    try {
        return Fetch(site, proxy);
    } catch (const InternetError& error) {
        // Wine has no text for several codes; the number still helps whoever reads the log.
        const std::string detail = error.HasText() ? error.Text() : "error " + std::to_string(error.Code());
        return {{}, FailureOf(error.Code()), 0, detail};
    } catch (const std::exception&) {
        // The system refusing a thread or an event for the bounded steps means the same to the
        // user: this site gave no address.
        return {};
    }
}

LookupResult WebLookup::Fetch(const IpSite& first, const ProxyCredentials& proxy) const {
    InternetSession session(kAgent);
    session.SetStopEvent(stopEvent_);
    session.SetDeadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs_));
    std::vector<IpSite> asked{first};
    for (;;) {
        std::string location;
        LookupResult result = AskPage(session, asked.back(), proxy, location);
        if (result.failure != LookupFailure::HttpStatus || !IsRedirect(result.httpStatus))
            return result;
        const std::optional<IpSite> next = RedirectTarget(asked.back(), location);
        if (!next || asked.size() > kMaxRedirects ||
            std::find(asked.begin(), asked.end(), *next) != asked.end())
            return {{}, LookupFailure::Redirects, result.httpStatus, location};
        asked.push_back(*next);
    }
}

std::string WebLookup::FailureLine(std::string_view siteName, const LookupResult& result) const {
    const std::string site(siteName);
    switch (result.failure) {
    case LookupFailure::None:
    case LookupFailure::Stopped:
        return {};
    case LookupFailure::TimedOut:
        return site + " gave no answer within " + std::to_string((deadlineMs_ + 999) / 1000) + " seconds.";
    case LookupFailure::HttpStatus:
        return site + " answered with HTTP status " + std::to_string(result.httpStatus) + ".";
    case LookupFailure::NoAddress:
        return site + " answered, but there is no IPv4 address on its page.";
    case LookupFailure::Certificate:
        return "The certificate of " + site + " is not trusted; its answer was not read.";
    case LookupFailure::ProxySignIn:
        return "The proxy refused the sign-in with the proxy user name and password; " + site +
               " was not asked.";
    case LookupFailure::Redirects:
        return site + " redirected in a loop or to an address that cannot be used.";
    case LookupFailure::NoAnswer:
        break;
    }
    std::string detail = result.detail;
    while (!detail.empty() && (detail.back() == '.' || detail.back() == ' '))
        detail.pop_back();
    if (detail.empty())
        return site + " gave no answer.";
    return site + " gave no answer (" + detail + ").";
}

} // namespace tovra
