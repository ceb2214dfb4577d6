#include "detection/WebLookup.h"

#include "detection/AddressScan.h"
#include "detection/RedirectTarget.h"
#include "framework/InternetExchange.h"

#include <algorithm>
#include <chrono>
#include <memory>
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

using Clock = std::chrono::steady_clock;

LookupFailure FailureOf(DWORD code) {
    switch (code) {
    case ERROR_INTERNET_TIMEOUT:
        return LookupFailure::TimedOut;
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

HINTERNET Opened(HINTERNET handle) {
    if (handle == nullptr)
        throw InternetError::FromLastError();
    return handle;
}

// The receive time-out is the one bound Wine honours, and only on the request or connection
// handle: it ends a helper left behind at a site that hangs, soon after the lookup's deadline.
void BoundByDeadline(HINTERNET request, Clock::time_point deadline) {
    const long long left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    DWORD bound = static_cast<DWORD>(std::max(1LL, left));
    for (DWORD option :
         {INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_CONNECT_TIMEOUT})
        InternetSetOptionA(request, option, &bound, sizeof bound);
}

void Send(HINTERNET request, Clock::time_point deadline) {
    BoundByDeadline(request, deadline);
    if (!HttpSendRequestA(request, nullptr, 0, nullptr, 0))
        throw InternetError::FromLastError();
}

DWORD StatusCode(HINTERNET request) {
    DWORD code = 0;
    DWORD length = sizeof code;
    // Wine reports a connection closed without any reply as having no status line: 0.
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &length, nullptr))
        return 0;
    return code;
}

std::string Location(HINTERNET request) {
    std::string text(2048, '\0');
    DWORD length = static_cast<DWORD>(text.size());
    if (!HttpQueryInfoA(request, HTTP_QUERY_LOCATION, text.data(), &length, nullptr))
        return {};
    text.resize(length);
    return text;
}

// Up to maxBytes of the body: one InternetReadFile may return fewer bytes than asked although
// more follow, so this reads until it has them all or WinINet reports the end.
std::string Read(HINTERNET request, std::size_t maxBytes, Clock::time_point deadline) {
    BoundByDeadline(request, deadline);
    std::string body(maxBytes, '\0');
    std::size_t total = 0;
    while (total < maxBytes) {
        DWORD got = 0;
        if (!InternetReadFile(request, body.data() + total, static_cast<DWORD>(maxBytes - total), &got))
            throw InternetError::FromLastError();
        if (got == 0)
            break;
        total += got;
    }
    body.resize(total);
    return body;
}

// One GET of one page. A redirect comes back as an HttpStatus failure with its Location.
LookupResult AskPage(HINTERNET session, const IpSite& site, const ProxyCredentials& proxy,
                     Clock::time_point deadline, std::string& location) {
    const UniqueInternetHandle connection(Opened(InternetConnectA(
        session, site.host.c_str(), EffectivePort(site), nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0)));
    if (!proxy.userName.empty()) {
        // The lengths are in characters; the texts need not outlive the calls.
        InternetSetOptionA(connection.get(), INTERNET_OPTION_PROXY_USERNAME,
                           const_cast<char*>(proxy.userName.c_str()),
                           static_cast<DWORD>(proxy.userName.size()));
        InternetSetOptionA(connection.get(), INTERNET_OPTION_PROXY_PASSWORD,
                           const_cast<char*>(proxy.password.c_str()),
                           static_cast<DWORD>(proxy.password.size()));
    }
    const DWORD secure = site.scheme == IpSiteScheme::Https ? INTERNET_FLAG_SECURE : 0;
    const UniqueInternetHandle request(Opened(HttpOpenRequestA(
        connection.get(), "GET", site.path.c_str(), nullptr, nullptr, nullptr, kRequestFlags | secure, 0)));
    Send(request.get(), deadline);
    DWORD status = StatusCode(request.get());
    if (status == kProxySignInRequired && !proxy.userName.empty()) {
        // WinINet may wait for the challenge before it signs in: answer it once.
        Read(request.get(), kDiscardedBodyBytes, deadline);
        Send(request.get(), deadline);
        status = StatusCode(request.get());
    }
    if (status == 0)
        return {{}, LookupFailure::NoAnswer, 0, {}};
    if (status == kProxySignInRequired)
        return {{}, LookupFailure::ProxySignIn, status, {}};
    // An error page may well name an address (the proxy's, say): only a 2xx answer counts.
    if (status / 100 != 2) {
        if (IsRedirect(status))
            location = Location(request.get());
        return {{}, LookupFailure::HttpStatus, status, {}};
    }
    const std::uint32_t address = FindFirstAddress(Read(request.get(), kPageReadBytes, deadline));
    if (address == 0)
        return {{}, LookupFailure::NoAddress, status, {}};
    return {DottedQuadText(address), LookupFailure::None, status, {}};
}

// The whole lookup, on the exchange's helper. Each hop starts only while the caller still waits,
// so a lookup given up at its deadline sends nothing more.
LookupResult FollowRedirects(InternetExchange& exchange, const IpSite& first, const ProxyCredentials& proxy,
                             Clock::time_point deadline) {
    const UniqueInternetHandle session = exchange.OpenSession(kAgent, INTERNET_OPEN_TYPE_PRECONFIG);
    std::vector<IpSite> asked{first};
    while (exchange.Wanted()) {
        std::string location;
        LookupResult result = AskPage(session.get(), asked.back(), proxy, deadline, location);
        if (result.failure != LookupFailure::HttpStatus || !IsRedirect(result.httpStatus))
            return result;
        const std::optional<IpSite> next = RedirectTarget(asked.back(), location);
        if (!next || asked.size() > WebLookup::kMaxRedirects ||
            std::find(asked.begin(), asked.end(), *next) != asked.end())
            return {{}, LookupFailure::Redirects, result.httpStatus, location};
        asked.push_back(*next);
    }
    return {{}, LookupFailure::Stopped, 0, {}};
}

LookupResult Failed(const InternetError& error) {
    // Wine has no text for several codes; the number still helps whoever reads the log.
    const std::string detail = error.HasText() ? error.Text() : "error " + std::to_string(error.Code());
    return {{}, FailureOf(error.Code()), 0, detail};
}

} // namespace

WebLookup::WebLookup(HANDLE stopEvent, DWORD deadlineMs) : stopEvent_(stopEvent), deadlineMs_(deadlineMs) {}

LookupResult WebLookup::Ask(const IpSite& site, const ProxyCredentials& proxy) const {
    // The helper writes only here; the answer is read only once the exchange has finished.
    const auto answer = std::make_shared<LookupResult>();
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(deadlineMs_);
    const std::string server = site.host + ":" + std::to_string(EffectivePort(site));
    try {
        const auto exchange =
            InternetExchange::Create(server, [answer, site, proxy, deadline](InternetExchange& exchange) {
                try {
                    *answer = FollowRedirects(exchange, site, proxy, deadline);
                } catch (const InternetError& error) {
                    *answer = Failed(error);
                }
            });
        switch (exchange->Perform(stopEvent_, deadlineMs_)) {
        case InternetExchange::Outcome::Finished:
            return *answer;
        case InternetExchange::Outcome::Stopped:
            return {{}, LookupFailure::Stopped, 0, {}};
        case InternetExchange::Outcome::TimedOut:
            return {{}, LookupFailure::TimedOut, 0, {}};
        case InternetExchange::Outcome::ServerBusy:
            return {{}, LookupFailure::StillBusy, 0, {}};
        case InternetExchange::Outcome::NoThread:
            break;
        }
    } catch (const std::exception&) {
        // The system refusing an event or a thread means the same to the user.
    }
    return {};
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
    case LookupFailure::StillBusy:
        return site + " was not asked: an earlier request to it is still unanswered.";
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
