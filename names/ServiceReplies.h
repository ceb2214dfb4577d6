#pragma once
// Reading what the update services answer. Platform-free: the replies are untrusted bytes from the
// network, so this code is tested and fuzzed on the host. Nothing here throws on any input.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tovra {

// A dyndns2 answer for one host: the first line's first word ("good", "nochg", "badauth", ...)
// and the address that follows it, if any. Both are empty for an empty reply.
struct Dyndns2Answer {
    std::string code;
    std::string address;
};
Dyndns2Answer ParseDyndns2Reply(std::string_view body);

// What a dyndns2 code asks of the client.
enum class Dyndns2Verdict {
    Accepted, // good, nochg: the address is recorded
    Stop,     // the user must change something before the next try
    Wait,     // the service is in trouble: not before 30 minutes
    Unknown,  // not in the protocol: treated as a wait, never as success
};
Dyndns2Verdict VerdictOf(std::string_view code);
// The meaning of a code in the user's words, for the outcome line; empty for an unknown one.
std::string_view Dyndns2Meaning(std::string_view code);

// DuckDNS answers "OK" or "KO" alone (white space around it aside); anything else is neither.
enum class DuckDnsAnswer { Ok, Ko, Other };
DuckDnsAnswer ParseDuckDnsReply(std::string_view body);

// The parts of a Cloudflare API answer that an update needs. `parsed` is false when the body is
// not a JSON object; ids are those of `result` (each element's of an array, or the object's own);
// `error` the first of `errors`' messages.
struct CloudflareReply {
    bool parsed = false;
    bool success = false;
    std::vector<std::string> ids;
    std::string error;
};
CloudflareReply ParseCloudflareReply(std::string_view body);

// The seconds an HTTP Retry-After header asks for when it is a number of seconds (a date, which
// the API does not send, counts as absent); 0 when absent or unreadable. Never above a day.
unsigned long RetryAfterSeconds(std::string_view header);

// The longest a reply is read: far beyond any of these answers, and a bound on a hostile server.
inline constexpr std::size_t kReplyReadBytes = 0x10000;

} // namespace tovra
