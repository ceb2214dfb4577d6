#pragma once
// The IP echo sites that a web check asks, in the order it asks them.

#include <cstdint>
#include <string>
#include <vector>

namespace tovra {

enum class IpSiteScheme { Http, Https };

struct IpSite {
    std::string host;                         // host name
    std::string path = "/";                   // page on that host, beginning with "/"
    IpSiteScheme scheme = IpSiteScheme::Http; // Https: asked over TLS, the certificate checked
    std::uint16_t port = 0;                   // 0: the scheme's own (80 or 443)

    bool operator==(const IpSite&) const = default;
};

// The port a site is reached on: its own, or its scheme's.
std::uint16_t EffectivePort(const IpSite& site);

// The built-in list, in the order it is asked: the list of every user who has not saved one of
// their own. Each host occurs once.
std::vector<IpSite> DefaultIpSites();

} // namespace tovra
