#include "detection/IpSite.h"

namespace tovra {

std::uint16_t EffectivePort(const IpSite& site) {
    if (site.port != 0)
        return site.port;
    return site.scheme == IpSiteScheme::Https ? 443 : 80;
}

std::vector<IpSite> DefaultIpSites() {
    // Long-lived public services that answer a plain GET with the caller's address in the body.
    // checkip.dyndns.org wraps it in a line of HTML ("Current IP Address: ..."); the others send
    // the address alone. ifconfig.me chooses HTML or text by the agent at "/", hence "/ip".
    return {
        {"ifconfig.me", "/ip"},      {"checkip.dyndns.org", "/"},      {"api.ipify.org", "/"},
        {"ipv4.icanhazip.com", "/"}, {"ip1.dynupdate.no-ip.com", "/"},
    };
}

} // namespace tovra
