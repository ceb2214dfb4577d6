#include "names/DnsName.h"

#include <algorithm>
#include <cctype>

namespace tovra {
namespace {

constexpr Dyndns2Preset kPresets[] = {
    {"No-IP", "dynupdate.no-ip.com", "myipv6"},
    {"Dynu", "api.dynu.com", "myipv6"},
    {"deSEC", "update.dedyn.io", "myipv6"},
    {"dynv6", "dynv6.com", ""},
};

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

} // namespace

std::string_view ServiceValue(DnsService service) {
    switch (service) {
    case DnsService::DuckDns:
        return "duckdns";
    case DnsService::Cloudflare:
        return "cloudflare";
    case DnsService::Dyndns2:
        break;
    }
    return "dyndns2";
}

std::optional<DnsService> ServiceFromValue(std::string_view value) {
    for (DnsService service : {DnsService::Dyndns2, DnsService::DuckDns, DnsService::Cloudflare}) {
        if (SameTextIgnoringCase(value, ServiceValue(service)))
            return service;
    }
    return std::nullopt;
}

bool SameSettings(const DnsName& a, const DnsName& b) {
    return a.service == b.service && a.hostName == b.hostName && a.server == b.server &&
           a.account == b.account && a.secret == b.secret;
}

std::string UpdateServer(const DnsName& name) {
    if (!name.server.empty())
        return name.server;
    switch (name.service) {
    case DnsService::DuckDns:
        return "www.duckdns.org";
    case DnsService::Cloudflare:
        return "api.cloudflare.com";
    case DnsService::Dyndns2:
        break;
    }
    return {};
}

std::span<const Dyndns2Preset> Dyndns2Presets() {
    return kPresets;
}

const Dyndns2Preset* FindDyndns2Preset(std::string_view server) {
    for (const Dyndns2Preset& preset : kPresets) {
        if (SameTextIgnoringCase(server, preset.server))
            return &preset;
    }
    return nullptr;
}

} // namespace tovra
