#include "detection/RedirectTarget.h"

#include <cctype>

namespace tovra {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    }
    return true;
}

bool IsHostName(std::string_view host) {
    if (host.empty() || host.size() > 253)
        return false;
    for (const char c : host) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != '_')
            return false;
    }
    return true;
}

// "65535" -> 65535; empty for anything but 1 to 65535 written in digits.
std::optional<std::uint16_t> ParsePort(std::string_view text) {
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

// "host[:port]/path" after the scheme's "//".
std::optional<IpSite> ParseAuthorityAndPath(IpSiteScheme scheme, std::string_view rest) {
    const std::size_t slash = rest.find_first_of("/?");
    const std::string_view authority = rest.substr(0, slash);
    std::string path = slash == std::string_view::npos ? "/" : std::string(rest.substr(slash));
    if (path.front() == '?')
        path.insert(path.begin(), '/');
    if (authority.find('@') != std::string_view::npos)
        return std::nullopt;
    IpSite site;
    site.scheme = scheme;
    site.path = std::move(path);
    const std::size_t colon = authority.find(':');
    site.host = std::string(authority.substr(0, colon));
    if (!IsHostName(site.host))
        return std::nullopt;
    if (colon != std::string_view::npos) {
        const std::optional<std::uint16_t> port = ParsePort(authority.substr(colon + 1));
        if (!port)
            return std::nullopt;
        site.port = *port;
    }
    return site;
}

} // namespace

std::optional<IpSite> RedirectTarget(const IpSite& from, std::string_view location) {
    const std::size_t first = location.find_first_not_of(" \t");
    const std::size_t last = location.find_last_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return std::nullopt;
    location = location.substr(first, last - first + 1);
    location = location.substr(0, location.find('#'));
    for (const char c : location) {
        if (static_cast<unsigned char>(c) <= ' ' || c == '\\' || c == 0x7F)
            return std::nullopt; // never pass control characters or blanks on into a request line
    }
    if (location.empty())
        return std::nullopt;

    std::optional<IpSite> target;
    if (StartsWithNoCase(location, "https://"))
        target = ParseAuthorityAndPath(IpSiteScheme::Https, location.substr(8));
    else if (StartsWithNoCase(location, "http://"))
        target = ParseAuthorityAndPath(IpSiteScheme::Http, location.substr(7));
    else if (location.substr(0, 2) == "//")
        target = ParseAuthorityAndPath(from.scheme, location.substr(2));
    else if (location.find(':') < location.find_first_of("/?"))
        return std::nullopt; // another scheme: ftp:, file:, javascript: ...
    else {
        target = from;
        const std::string_view page = std::string_view(from.path).substr(0, from.path.find('?'));
        if (location.front() == '/') {
            target->path = std::string(location);
        } else if (location.front() == '?') {
            target->path = std::string(page) + std::string(location);
        } else {
            target->path = std::string(page.substr(0, page.rfind('/') + 1)) + std::string(location);
        }
    }
    if (target && from.scheme == IpSiteScheme::Https && target->scheme == IpSiteScheme::Http)
        return std::nullopt;
    return target;
}

} // namespace tovra
