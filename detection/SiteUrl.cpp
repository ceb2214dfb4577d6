#include "detection/SiteUrl.h"

#include <cstdint>
#include <utility>

namespace tovra {
namespace {

constexpr std::string_view kHttpPrefix = "http://";
constexpr std::string_view kHttpsPrefix = "https://";
constexpr std::string_view kSchemeMark = "://";
// DNS limits: a name of at most 253 characters in labels of at most 63.
constexpr std::size_t kLongestHost = 253;
constexpr std::size_t kLongestLabel = 63;
// The dialog takes 255 characters; the "/" it may add makes 256.
constexpr std::size_t kLongestPath = 256;

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[i]) != prefix[i])
            return false;
    return true;
}

bool IsAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsHostName(std::string_view host) {
    if (host.empty() || host.size() > kLongestHost)
        return false;
    std::size_t labelStart = 0;
    while (labelStart <= host.size()) {
        std::size_t labelEnd = host.find('.', labelStart);
        if (labelEnd == std::string_view::npos)
            labelEnd = host.size();
        const std::string_view label = host.substr(labelStart, labelEnd - labelStart);
        if (label.empty() || label.size() > kLongestLabel || label.front() == '-' || label.back() == '-')
            return false;
        for (char c : label)
            if (!IsAlnum(c) && c != '-')
                return false;
        labelStart = labelEnd + 1;
    }
    return true;
}

// The characters of a URL path and query (RFC 3986's pchar, "/" and "?"); "%" stands for itself
// as the start of an escape. Everything else would need escaping, and a blank or a line end would
// break the request line itself.
bool IsPathCharacter(char c) {
    if (IsAlnum(c))
        return true;
    constexpr std::string_view kOthers = "-._~!$&'()*+,;=:@/?%";
    return kOthers.find(c) != std::string_view::npos;
}

// 1 to 65535 in decimal digits alone; 0 when the text is anything else.
std::uint16_t ParsePort(std::string_view text) {
    if (text.empty() || text.size() > 5)
        return 0;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value <= 65535 ? static_cast<std::uint16_t>(value) : 0;
}

// The port a site of that scheme is reached on when none is written.
std::uint16_t SchemePort(IpSiteScheme scheme) {
    IpSite bare;
    bare.scheme = scheme;
    return EffectivePort(bare);
}

} // namespace

SiteFormError ParseSiteForm(std::string_view address, std::string_view path, IpSite& site) {
    IpSite parsed;
    address = Trim(address);
    if (StartsWithNoCase(address, kHttpsPrefix)) {
        parsed.scheme = IpSiteScheme::Https;
        address.remove_prefix(kHttpsPrefix.size());
    } else if (StartsWithNoCase(address, kHttpPrefix)) {
        address.remove_prefix(kHttpPrefix.size());
    } else if (address.find(kSchemeMark) != std::string_view::npos) {
        return SiteFormError::Scheme;
    }
    // "https://api.ipify.org/" is how a site is copied from a browser; its lone "/" is the root,
    // which the path already says.
    if (!address.empty() && address.back() == '/')
        address.remove_suffix(1);
    if (address.find('/') != std::string_view::npos)
        return SiteFormError::PathInAddress;

    const std::size_t colon = address.find(':');
    const std::string_view host = address.substr(0, colon);
    if (host.empty())
        return SiteFormError::NoHost;
    if (!IsHostName(host))
        return SiteFormError::Host;
    if (colon != std::string_view::npos) {
        parsed.port = ParsePort(address.substr(colon + 1));
        if (parsed.port == 0)
            return SiteFormError::Port;
        if (parsed.port == SchemePort(parsed.scheme))
            parsed.port = 0;
    }
    parsed.host.reserve(host.size());
    for (char c : host)
        parsed.host.push_back(Lower(c));

    path = Trim(path);
    parsed.path.clear();
    if (path.empty() || path.front() != '/')
        parsed.path = "/";
    parsed.path.append(path);
    if (parsed.path.size() > kLongestPath)
        return SiteFormError::Path;
    for (char c : parsed.path)
        if (!IsPathCharacter(c))
            return SiteFormError::Path;

    site = std::move(parsed);
    return SiteFormError::None;
}

SiteFormError ParseNewSite(std::string_view address, std::string_view path, const std::vector<IpSite>& listed,
                           IpSite& site) {
    if (listed.size() >= kMaxIpSites)
        return SiteFormError::ListFull;
    IpSite parsed;
    if (const SiteFormError error = ParseSiteForm(address, path, parsed); error != SiteFormError::None)
        return error;
    for (const IpSite& existing : listed)
        if (existing == parsed)
            return SiteFormError::Listed;
    site = std::move(parsed);
    return SiteFormError::None;
}

std::string SiteUrl(const IpSite& site) {
    std::string url;
    if (site.scheme == IpSiteScheme::Https)
        url = kHttpsPrefix;
    url += site.host;
    if (site.port != 0 && site.port != SchemePort(site.scheme))
        url += ':' + std::to_string(site.port);
    url += site.path;
    return url;
}

SiteFormError ParseSiteUrl(std::string_view url, IpSite& site) {
    url = Trim(url);
    const std::size_t mark = url.find(kSchemeMark);
    const std::size_t authority = mark == std::string_view::npos ? 0 : mark + kSchemeMark.size();
    const std::size_t slash = url.find('/', authority);
    if (slash == std::string_view::npos)
        return ParseSiteForm(url, "/", site);
    return ParseSiteForm(url.substr(0, slash), url.substr(slash), site);
}

std::string_view SiteFormHint(SiteFormError error) noexcept {
    switch (error) {
    case SiteFormError::None:
        return {};
    case SiteFormError::NoHost:
        return "Type the site's host name, for example ifconfig.me.";
    case SiteFormError::Scheme:
        return "Only http:// and https:// sites can be asked.";
    case SiteFormError::Host:
        return "A host name has only letters, digits, hyphens and dots.";
    case SiteFormError::Port:
        return "The port must be a number from 1 to 65535.";
    case SiteFormError::PathInAddress:
        return "Type the page's path in the Path box.";
    case SiteFormError::Path:
        return "The path may not hold blanks, \"#\" or accented letters.";
    case SiteFormError::Listed:
        return "This site is in the list already.";
    case SiteFormError::ListFull:
        return "The list is full: remove a site first.";
    }
    return {};
}

} // namespace tovra
