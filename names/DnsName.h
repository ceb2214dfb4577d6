#pragma once
// A DNS name that Tovra keeps pointed at the PC: which service holds it, how to sign in there,
// and what that service last accepted. Platform-free; DnsNameStore keeps the list in the registry.

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tovra {

enum class DnsService { Dyndns2, DuckDns, Cloudflare };

// The stored form ("dyndns2", "duckdns", "cloudflare") and back; nothing for any other text.
std::string_view ServiceValue(DnsService service);
std::optional<DnsService> ServiceFromValue(std::string_view value);

struct DnsName {
    DnsService service = DnsService::Dyndns2;
    std::string hostName;
    // host[:port] of the update service: required for dyndns2, which many providers speak; for
    // the other two it replaces the service's own host when not empty.
    std::string server;
    std::string account; // dyndns2 only
    std::string secret;  // the password or token, in the clear only in memory
    // Written by the updates: what the service last accepted, and the answer that stopped them.
    std::string lastAddress;
    std::string lastIpv6;
    std::string stopped;
};

// Whether two records name the same update: what the user set, not what the updates wrote. A
// record whose settings changed is updated at the next check, even to an unchanged address.
bool SameSettings(const DnsName& a, const DnsName& b);

// The host an update goes to: Server, or the service's own when that is empty (dyndns2 has none).
std::string UpdateServer(const DnsName& name);

// A dyndns2 provider's update server, and the query parameter its documentation gives for an IPv6
// address (empty where it documents none: then only the IPv4 address is sent).
struct Dyndns2Preset {
    std::string_view provider;
    std::string_view server;
    std::string_view ipv6Parameter;
};
std::span<const Dyndns2Preset> Dyndns2Presets();
const Dyndns2Preset* FindDyndns2Preset(std::string_view server);

} // namespace tovra
