#include "settings/StoredIpSites.h"

#include "detection/SiteUrl.h"

#include <algorithm>

namespace tovra {

std::string EncodeIpSites(const std::vector<IpSite>& sites) {
    std::string bytes;
    for (const IpSite& site : sites) {
        bytes += SiteUrl(site);
        bytes += '\0';
    }
    bytes += '\0';
    return bytes;
}

std::optional<std::vector<IpSite>> DecodeIpSites(std::string_view bytes) {
    if (bytes.size() > kMaxStoredIpSitesBytes)
        return std::nullopt;
    std::vector<IpSite> sites;
    if (bytes.empty())
        return sites;
    if (bytes.back() != '\0')
        return std::nullopt;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find('\0', start);
        const std::string_view text = bytes.substr(start, end - start);
        if (text.empty())
            break; // the empty text that ends the list; anything after it is no part of it
        IpSite site;
        if (sites.size() < kMaxIpSites && ParseSiteUrl(text, site) == SiteFormError::None &&
            std::find(sites.begin(), sites.end(), site) == sites.end())
            sites.push_back(std::move(site));
        start = end + 1;
    }
    return sites;
}

} // namespace tovra
