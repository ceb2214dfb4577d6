#include "names/WinHttpsTransport.h"

#include "framework/InternetError.h"
#include "framework/InternetExchange.h"
#include "names/ServiceReplies.h"

#include <wininet.h>

#include <algorithm>
#include <memory>

namespace tovra {
namespace {

// Never a cached answer, never a dialog, never a cookie kept between services, and no redirect
// followed: a redirected update would carry its sign-in to wherever the answer points.
constexpr DWORD kRequestFlags = INTERNET_FLAG_SECURE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT |
                                INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_PRAGMA_NOCACHE;

HINTERNET Opened(HINTERNET handle) {
    if (handle == nullptr)
        throw InternetError::FromLastError();
    return handle;
}

// "host" or "host:port"; the port is 443 unless a valid one is given.
std::pair<std::string, INTERNET_PORT> HostAndPort(const std::string& server) {
    const std::size_t colon = server.rfind(':');
    if (colon == std::string::npos || colon + 1 == server.size() || server.find(':') != colon)
        return {server, INTERNET_DEFAULT_HTTPS_PORT};
    const std::string digits = server.substr(colon + 1);
    if (digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return {server, INTERNET_DEFAULT_HTTPS_PORT};
    const unsigned long port = std::stoul(digits);
    if (port == 0 || port > 65535)
        return {server, INTERNET_DEFAULT_HTTPS_PORT};
    return {server.substr(0, colon), static_cast<INTERNET_PORT>(port)};
}

std::string HeaderValue(HINTERNET request, DWORD query) {
    std::string text(256, '\0');
    DWORD length = static_cast<DWORD>(text.size());
    if (!HttpQueryInfoA(request, query, text.data(), &length, nullptr))
        return {};
    text.resize(length);
    return text;
}

HttpReply Exchange(InternetExchange& exchange, const HttpRequest& call, DWORD boundMs) {
    std::string agent = "Tovra";
    std::string headers;
    for (const auto& [name, value] : call.headers) {
        if (name == "User-Agent")
            agent = value;
        else
            headers += name + ": " + value + "\r\n";
    }
    const UniqueInternetHandle session = exchange.OpenSession(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG);
    const auto [host, port] = HostAndPort(call.server);
    const UniqueInternetHandle connection(Opened(
        InternetConnectA(session.get(), host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0)));
    const UniqueInternetHandle request(
        Opened(HttpOpenRequestA(connection.get(), call.method.c_str(), call.path.c_str(), nullptr, nullptr,
                                nullptr, kRequestFlags, 0)));
    // Wine honours the receive time-out only on the request or the connection.
    for (DWORD option :
         {INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_CONNECT_TIMEOUT})
        InternetSetOptionA(request.get(), option, &boundMs, sizeof boundMs);
    if (!exchange.Wanted())
        return {HttpReply::Failure::Stopped, 0, {}, {}, {}};
    if (!HttpSendRequestA(request.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                          const_cast<char*>(call.body.data()), static_cast<DWORD>(call.body.size())))
        throw InternetError::FromLastError();
    // A proxy that refuses a tunnel can hand back its own answer as if it were the service's.
    DWORD flags = 0;
    DWORD flagsLength = sizeof flags;
    if (!InternetQueryOptionA(request.get(), INTERNET_OPTION_SECURITY_FLAGS, &flags, &flagsLength) ||
        (flags & SECURITY_FLAG_SECURE) == 0)
        return {HttpReply::Failure::Certificate, 0, {}, {}, {}};

    HttpReply reply;
    reply.failure = HttpReply::Failure::None;
    DWORD status = 0;
    DWORD length = sizeof status;
    if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length,
                        nullptr) ||
        status == 0)
        return {HttpReply::Failure::NoAnswer, 0, {}, {}, {}};
    reply.status = status;
    reply.retryAfter = HeaderValue(request.get(), HTTP_QUERY_RETRY_AFTER);
    reply.body.resize(kReplyReadBytes);
    std::size_t total = 0;
    while (total < kReplyReadBytes) {
        DWORD got = 0;
        if (!InternetReadFile(request.get(), reply.body.data() + total,
                              static_cast<DWORD>(kReplyReadBytes - total), &got))
            throw InternetError::FromLastError();
        if (got == 0)
            break;
        total += got;
    }
    reply.body.resize(total);
    return reply;
}

} // namespace

WinHttpsTransport::WinHttpsTransport(HANDLE stopEvent, DWORD deadlineMs)
    : stopEvent_(stopEvent), deadlineMs_(deadlineMs) {}

HttpReply WinHttpsTransport::Send(const HttpRequest& call) {
    // The helper writes only here; the answer is read only once the exchange has finished.
    const auto answer = std::make_shared<HttpReply>();
    const DWORD bound = deadlineMs_;
    try {
        const auto [host, port] = HostAndPort(call.server);
        const auto exchange = InternetExchange::Create(
            host + ":" + std::to_string(port), [answer, call, bound](InternetExchange& exchange) {
                try {
                    *answer = Exchange(exchange, call, bound);
                } catch (const InternetError& error) {
                    answer->failure = InternetError::IsCertificateCode(error.Code())
                                          ? HttpReply::Failure::Certificate
                                          : HttpReply::Failure::NoAnswer;
                    answer->detail = error.HasText() ? error.Text() : "error " + std::to_string(error.Code());
                    while (!answer->detail.empty() &&
                           (answer->detail.back() == '.' || answer->detail.back() == ' '))
                        answer->detail.pop_back();
                }
            });
        switch (exchange->Perform(stopEvent_, deadlineMs_)) {
        case InternetExchange::Outcome::Finished:
            return *answer;
        case InternetExchange::Outcome::Stopped:
            return {HttpReply::Failure::Stopped, 0, {}, {}, {}};
        case InternetExchange::Outcome::TimedOut:
            return {HttpReply::Failure::NoAnswer,
                    0,
                    {},
                    {},
                    "no answer within " + std::to_string(bound / 1000) + " seconds"};
        case InternetExchange::Outcome::ServerBusy:
            return {HttpReply::Failure::NoAnswer, 0, {}, {}, "an earlier request to it is still unanswered"};
        case InternetExchange::Outcome::NoThread:
            break;
        }
    } catch (const std::exception&) {
        // The system refusing an event or a thread means the same to the user.
    }
    return {};
}

} // namespace tovra
