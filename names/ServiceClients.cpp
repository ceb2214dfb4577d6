#include "names/ServiceClients.h"

#include "names/ServiceReplies.h"
#include "resources/Version.h"

#include <algorithm>
#include <cctype>

namespace tovra {
namespace {

using Result = UpdateOutcome::Result;

UpdateOutcome Outcome(Result result, std::string reason = {}, unsigned long waitSeconds = 0) {
    UpdateOutcome outcome;
    outcome.result = result;
    outcome.reason = std::move(reason);
    outcome.waitSeconds = waitSeconds;
    return outcome;
}

UpdateOutcome Stop(std::string stopCode, std::string reason) {
    UpdateOutcome outcome = Outcome(Result::Stopped, std::move(reason));
    outcome.stopCode = std::move(stopCode);
    return outcome;
}

// A reply that never arrived, in the user's words; Closing for a stop.
std::optional<UpdateOutcome> Unanswered(const HttpReply& reply, const std::string& server,
                                        unsigned long waitSeconds) {
    switch (reply.failure) {
    case HttpReply::Failure::None:
        return std::nullopt;
    case HttpReply::Failure::Stopped:
        return Outcome(Result::Closing);
    case HttpReply::Failure::Certificate:
        return Outcome(Result::Wait, "the certificate of " + server + " is not trusted", waitSeconds);
    case HttpReply::Failure::NoAnswer:
        break;
    }
    std::string reason = server + " gave no answer";
    if (!reply.detail.empty())
        reason += " (" + reply.detail + ")";
    return Outcome(Result::Wait, reason, waitSeconds);
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

std::string Status(unsigned long status) {
    return "HTTP " + std::to_string(status);
}

} // namespace

std::string UpdateAgent() {
    return "Brannik Tovra/" + std::to_string(TOVRA_VERSION_MAJOR) + "." +
           std::to_string(TOVRA_VERSION_MINOR) + "." + std::to_string(TOVRA_VERSION_BUILD);
}

std::string UrlEncoded(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0xF];
        }
    }
    return encoded;
}

std::string Base64(std::string_view bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned n = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        text += {kAlphabet[n >> 18], kAlphabet[(n >> 12) & 63], kAlphabet[(n >> 6) & 63], kAlphabet[n & 63]};
    }
    if (const std::size_t left = bytes.size() - i; left > 0) {
        const unsigned n = static_cast<unsigned char>(bytes[i]) << 16 |
                           (left == 2 ? static_cast<unsigned char>(bytes[i + 1]) << 8 : 0u);
        text +=
            {kAlphabet[n >> 18], kAlphabet[(n >> 12) & 63], left == 2 ? kAlphabet[(n >> 6) & 63] : '=', '='};
    }
    return text;
}

UpdateOutcome UpdateDyndns2(const DnsName& name, const NameAddresses& addresses, HttpTransport& transport) {
    HttpRequest request;
    request.method = "GET";
    request.server = name.server;
    request.path =
        "/nic/update?hostname=" + UrlEncoded(name.hostName) + "&myip=" + UrlEncoded(addresses.ipv4);
    // Only where the provider documents how it takes one: a guessed parameter may be refused, or
    // worse, taken for something else.
    const Dyndns2Preset* preset = FindDyndns2Preset(name.server);
    const bool sendIpv6 = preset != nullptr && !preset->ipv6Parameter.empty() && !addresses.ipv6.empty();
    if (sendIpv6)
        request.path += "&" + std::string(preset->ipv6Parameter) + "=" + UrlEncoded(addresses.ipv6);
    request.headers = {{"Authorization", "Basic " + Base64(name.account + ":" + name.secret)},
                       {"User-Agent", UpdateAgent()}};

    const HttpReply reply = transport.Send(request);
    if (auto unanswered = Unanswered(reply, name.server, kTroubleWaitSeconds))
        return *unanswered;
    const Dyndns2Answer answer = ParseDyndns2Reply(reply.body);
    switch (VerdictOf(answer.code)) {
    case Dyndns2Verdict::Accepted: {
        UpdateOutcome outcome = Outcome(answer.code == "good" ? Result::Updated : Result::Current);
        outcome.sentIpv6 = sendIpv6;
        return outcome;
    }
    case Dyndns2Verdict::Stop:
        return Stop(answer.code, "the service answered \"" + answer.code +
                                     "\": " + std::string(Dyndns2Meaning(answer.code)));
    case Dyndns2Verdict::Wait:
        return Outcome(Result::Wait,
                       "the service answered \"" + answer.code +
                           "\": " + std::string(Dyndns2Meaning(answer.code)),
                       kTroubleWaitSeconds);
    case Dyndns2Verdict::Unknown:
        break;
    }
    // Some providers answer a wrong sign-in with the status alone.
    if (reply.status == 401 || reply.status == 403)
        return Stop("badauth", "the service refused the sign-in (" + Status(reply.status) + ")");
    return Outcome(Result::Wait,
                   reply.status / 100 == 2 ? "the service's answer is not one the protocol knows"
                                           : "the service answered with " + Status(reply.status),
                   kTroubleWaitSeconds);
}

UpdateOutcome UpdateDuckDns(const DnsName& name, const NameAddresses& addresses, HttpTransport& transport) {
    // DuckDNS wants the part before ".duckdns.org"; a user may well type the full name.
    std::string_view domain = name.hostName;
    constexpr std::string_view kSuffix = ".duckdns.org";
    if (EndsWithIgnoringCase(domain, kSuffix))
        domain.remove_suffix(kSuffix.size());

    HttpRequest request;
    request.method = "GET";
    request.server = UpdateServer(name);
    request.path = "/update?domains=" + UrlEncoded(domain) + "&token=" + UrlEncoded(name.secret) +
                   "&ip=" + UrlEncoded(addresses.ipv4);
    if (!addresses.ipv6.empty())
        request.path += "&ipv6=" + UrlEncoded(addresses.ipv6);
    request.headers = {{"User-Agent", UpdateAgent()}};

    const HttpReply reply = transport.Send(request);
    if (auto unanswered = Unanswered(reply, request.server, 0))
        return *unanswered;
    if (reply.status / 100 == 2) {
        switch (ParseDuckDnsReply(reply.body)) {
        case DuckDnsAnswer::Ok: {
            UpdateOutcome outcome = Outcome(Result::Updated);
            outcome.sentIpv6 = !addresses.ipv6.empty();
            return outcome;
        }
        case DuckDnsAnswer::Ko:
            return Stop("KO", "DuckDNS answered \"KO\": the token or the domain is wrong");
        case DuckDnsAnswer::Other:
            break;
        }
        return Outcome(Result::Wait, "DuckDNS's answer is neither \"OK\" nor \"KO\"");
    }
    return Outcome(Result::Wait, "DuckDNS answered with " + Status(reply.status));
}

namespace {

// One Cloudflare API call; a failed one leaves its outcome in `failure`.
class CloudflareCalls {
public:
    CloudflareCalls(const DnsName& name, HttpTransport& transport)
        : server_(UpdateServer(name)), token_(name.secret), transport_(transport) {}

    std::optional<CloudflareReply> Call(const std::string& method, const std::string& path,
                                        std::string body = {}) {
        HttpRequest request;
        request.method = method;
        request.server = server_;
        request.path = "/client/v4" + path;
        request.headers = {{"Authorization", "Bearer " + token_}, {"User-Agent", UpdateAgent()}};
        if (!body.empty())
            request.headers.emplace_back("Content-Type", "application/json");
        request.body = std::move(body);
        const HttpReply reply = transport_.Send(request);
        if (auto unanswered = Unanswered(reply, server_, 0)) {
            failure = *unanswered;
            return std::nullopt;
        }
        if (reply.status == 429) {
            // Over the rate limit every call is refused for a while: the header says how long.
            const unsigned long wait = RetryAfterSeconds(reply.retryAfter);
            failure = Outcome(Result::Wait, "Cloudflare asks to wait (HTTP 429)",
                              wait == 0 ? kBlockedSeconds : wait);
            return std::nullopt;
        }
        if (reply.status == 401 || reply.status == 403) {
            failure = Stop(Status(reply.status), "Cloudflare refused the API token (" + Status(reply.status) +
                                                     "); it needs the Zone, DNS, Edit permission");
            return std::nullopt;
        }
        CloudflareReply parsed = ParseCloudflareReply(reply.body);
        if (reply.status / 100 != 2 || !parsed.success) {
            std::string reason = "Cloudflare answered with " + Status(reply.status);
            if (!parsed.error.empty())
                reason += " (" + parsed.error + ")";
            failure = Outcome(Result::Wait, reason);
            return std::nullopt;
        }
        return parsed;
    }

    UpdateOutcome failure;

private:
    static constexpr unsigned long kBlockedSeconds = 5 * 60;

    const std::string server_;
    const std::string token_;
    HttpTransport& transport_;
};

} // namespace

UpdateOutcome UpdateCloudflare(const DnsName& name, const NameAddresses& addresses,
                               HttpTransport& transport) {
    CloudflareCalls calls(name, transport);
    const std::string host = name.hostName;

    // The zone is the longest suffix of the name that the account holds: a.home.example.com may
    // live in home.example.com or in example.com. A single label is no zone.
    std::string zone;
    for (std::size_t start = 0; start != std::string::npos && host.find('.', start) != std::string::npos;) {
        const std::optional<CloudflareReply> reply =
            calls.Call("GET", "/zones?name=" + UrlEncoded(host.substr(start)));
        if (!reply)
            return calls.failure;
        if (!reply->ids.empty()) {
            zone = reply->ids.front();
            break;
        }
        start = host.find('.', start);
        start = start == std::string::npos ? start : start + 1;
    }
    if (zone.empty())
        return Stop("no zone", "the API token sees no Cloudflare zone that holds " + host);

    struct Record {
        const char* type;
        const std::string& address;
    };
    const Record records[] = {{"A", addresses.ipv4}, {"AAAA", addresses.ipv6}};
    for (const Record& record : records) {
        if (record.address.empty())
            continue;
        const std::string zonePath = "/zones/" + UrlEncoded(zone) + "/dns_records";
        const std::optional<CloudflareReply> found =
            calls.Call("GET", zonePath + "?type=" + record.type + "&name=" + UrlEncoded(host));
        if (!found)
            return calls.failure;
        // Creating a record is the user's decision, made in Cloudflare: never ours.
        if (found->ids.empty())
            return Stop("no " + std::string(record.type) + " record",
                        "Cloudflare has no " + std::string(record.type) + " record for " + host +
                            "; create it there first");
        if (!calls.Call("PATCH", zonePath + "/" + UrlEncoded(found->ids.front()),
                        "{\"content\":\"" + record.address + "\"}"))
            return calls.failure;
    }
    UpdateOutcome outcome = Outcome(Result::Updated);
    outcome.sentIpv6 = !addresses.ipv6.empty();
    return outcome;
}

UpdateOutcome UpdateName(const DnsName& name, const NameAddresses& addresses, HttpTransport& transport) {
    switch (name.service) {
    case DnsService::DuckDns:
        return UpdateDuckDns(name, addresses, transport);
    case DnsService::Cloudflare:
        return UpdateCloudflare(name, addresses, transport);
    case DnsService::Dyndns2:
        break;
    }
    return UpdateDyndns2(name, addresses, transport);
}

} // namespace tovra
