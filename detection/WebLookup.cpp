#include "detection/WebLookup.h"

#include "detection/AddressScan.h"
#include "detection/RedirectTarget.h"
#include "detection/SiteUrl.h"
#include "framework/InternetError.h"
#include "framework/InternetExchange.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <string_view>
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

// Schannel's "no TLS version in common" (Windows 7 with TLS 1.2 off in Internet Options).
constexpr DWORD kDecodingFailed = 12175;

using Clock = std::chrono::steady_clock;

LookupResult Failure(LookupFailure failure, unsigned long httpStatus = 0, std::string detail = {}) {
    LookupResult result;
    result.failure = failure;
    result.httpStatus = httpStatus;
    result.detail = std::move(detail);
    return result;
}

LookupFailure FailureOf(DWORD code) {
    if (code == ERROR_INTERNET_TIMEOUT)
        return LookupFailure::TimedOut;
    if (InternetError::IsCertificateCode(code))
        return LookupFailure::Certificate;
    if (code == ERROR_INTERNET_SECURITY_CHANNEL_ERROR || code == kDecodingFailed)
        return LookupFailure::TlsVersion;
    return LookupFailure::NoAnswer;
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

DWORD SecurityFlags(HINTERNET request) {
    DWORD flags = 0;
    DWORD length = sizeof flags;
    if (!InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &length))
        return 0;
    return flags;
}

// Sends, and when only the revocation server could not be reached (12057), sends once more with
// that one check relaxed: the chain itself is still checked, so an untrusted one is still refused.
// Returns whether the relaxed request was needed.
bool SendSecure(HINTERNET request, Clock::time_point deadline) {
    try {
        Send(request, deadline);
        return false;
    } catch (const InternetError& error) {
        if (error.Code() != ERROR_INTERNET_SEC_CERT_REV_FAILED)
            throw;
        DWORD flags = SecurityFlags(request) | SECURITY_FLAG_IGNORE_REVOCATION;
        if (!InternetSetOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof flags))
            throw;
    }
    Send(request, deadline);
    return true;
}

// The sign-in schemes a 407 offers ("Digest or NTLM"), or empty when Basic is among them or none
// is named: WinINet signs in to a proxy with the stored name and password only by Basic here.
std::string SchemesWithoutBasic(HINTERNET request) {
    std::string schemes;
    for (DWORD index = 0;;) {
        char text[512] = {};
        DWORD length = sizeof text - 1;
        if (!HttpQueryInfoA(request, HTTP_QUERY_PROXY_AUTHENTICATE, text, &length, &index))
            break;
        std::string_view challenge(text, std::min<std::size_t>(length, sizeof text - 1));
        challenge = challenge.substr(0, challenge.find_first_of(" \t,"));
        if (challenge.empty())
            continue;
        if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, challenge.data(),
                           static_cast<int>(challenge.size()), "Basic", 5) == CSTR_EQUAL)
            return {};
        if (schemes.find(challenge) == std::string::npos)
            schemes += (schemes.empty() ? "" : " or ") + std::string(challenge);
    }
    return schemes;
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
    const bool https = site.scheme == IpSiteScheme::Https;
    const UniqueInternetHandle request(
        Opened(HttpOpenRequestA(connection.get(), "GET", site.path.c_str(), nullptr, nullptr, nullptr,
                                kRequestFlags | (https ? INTERNET_FLAG_SECURE : 0), 0)));
    bool revocationUnchecked = SendSecure(request.get(), deadline);
    DWORD status = StatusCode(request.get());
    if (status == kProxySignInRequired && !proxy.userName.empty()) {
        // WinINet may wait for the challenge before it signs in: answer it once.
        Read(request.get(), kDiscardedBodyBytes, deadline);
        revocationUnchecked = SendSecure(request.get(), deadline) || revocationUnchecked;
        status = StatusCode(request.get());
    }
    if (status == 0)
        return Failure(LookupFailure::NoAnswer);
    if (status == kProxySignInRequired) {
        std::string schemes = SchemesWithoutBasic(request.get());
        if (!schemes.empty())
            return Failure(LookupFailure::ProxyScheme, status, std::move(schemes));
        return Failure(LookupFailure::ProxySignIn, status, {});
    }
    // A proxy refusing the tunnel can get WinINet to send an https request in the clear on the
    // proxy's own connection, and hand back the proxy's answer as the site's (measured under
    // Wine): whatever did not come over TLS is not the site's answer.
    if (https && (SecurityFlags(request.get()) & SECURITY_FLAG_SECURE) == 0)
        return Failure(LookupFailure::NotOverTls, status, {});
    // An error page may well name an address (the proxy's, say): only a 2xx answer counts.
    if (status / 100 != 2) {
        if (IsRedirect(status))
            location = Location(request.get());
        return Failure(LookupFailure::HttpStatus, status, {});
    }
    const std::uint32_t address = FindFirstAddress(Read(request.get(), kPageReadBytes, deadline));
    LookupResult result = Failure(address == 0 ? LookupFailure::NoAddress : LookupFailure::None, status);
    if (address != 0)
        result.address = DottedQuadText(address);
    result.revocationUnchecked = revocationUnchecked;
    return result;
}

LookupResult Failed(const InternetError& error) {
    // Wine has no text for several codes; the number still helps whoever reads the log.
    const std::string detail = error.HasText() ? error.Text() : "error " + std::to_string(error.Code());
    return Failure(FailureOf(error.Code()), 0, detail);
}

// The whole lookup, on the exchange's helper. Each hop starts only while the caller still waits,
// so a lookup given up at its deadline sends nothing more.
LookupResult FollowRedirects(InternetExchange& exchange, const IpSite& first, const ProxyCredentials& proxy,
                             Clock::time_point deadline) {
    const UniqueInternetHandle session = exchange.OpenSession(kAgent, INTERNET_OPEN_TYPE_PRECONFIG);
    std::vector<IpSite> asked{first};
    while (exchange.Wanted()) {
        std::string location;
        LookupResult result;
        try {
            result = AskPage(session.get(), asked.back(), proxy, deadline, location);
        } catch (const InternetError& error) {
            result = Failed(error);
        }
        if (asked.size() > 1)
            result.redirectedTo = SiteUrl(asked.back());
        if (result.failure != LookupFailure::HttpStatus || !IsRedirect(result.httpStatus))
            return result;
        const std::optional<IpSite> next = RedirectTarget(asked.back(), location);
        if (!next || asked.size() > WebLookup::kMaxRedirects ||
            std::find(asked.begin(), asked.end(), *next) != asked.end())
            return Failure(LookupFailure::Redirects, result.httpStatus, location);
        asked.push_back(*next);
    }
    return Failure(LookupFailure::Stopped, 0, {});
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
            return Failure(LookupFailure::Stopped, 0, {});
        case InternetExchange::Outcome::TimedOut:
            return Failure(LookupFailure::TimedOut, 0, {});
        case InternetExchange::Outcome::ServerBusy:
            return Failure(LookupFailure::StillBusy, 0, {});
        case InternetExchange::Outcome::NoThread:
            break;
        }
    } catch (const std::exception&) {
        // The system refusing an event or a thread means the same to the user.
    }
    return {};
}

std::string WebLookup::NoteLine(std::string_view siteName, const LookupResult& result) {
    if (!result.revocationUnchecked)
        return {};
    return "The revocation server for the certificate of " + std::string(siteName) +
           " could not be reached; its answer was read with every other check of the certificate made.";
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
        // A redirect's target is the site whose certificate failed, not the one the user listed.
        if (!result.redirectedTo.empty())
            return "The certificate of " + result.redirectedTo + " (redirected from " + site +
                   ") is not trusted; its answer was not read.";
        return "The certificate of " + site + " is not trusted; its answer was not read.";
    case LookupFailure::NotOverTls:
        return "The answer for " + site +
               " did not come over TLS (a proxy may have answered in its place); " + "it was not read.";
    case LookupFailure::TlsVersion:
        return site + " and this PC have no TLS version in common: on Windows 7, tick \"Use TLS 1.2\" on the "
                      "Advanced tab of Internet Options.";
    case LookupFailure::ProxySignIn:
        return "The proxy refused the sign-in with the proxy user name and password; " + site +
               " was not asked.";
    case LookupFailure::ProxyScheme:
        return "The proxy asked for a sign-in by " + result.detail +
               ", not by user name and password (Basic); " + site + " was not asked.";
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
