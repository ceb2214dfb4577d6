#pragma once
// Where a redirect from an echo site leads, worked out by the lookup itself rather than by
// WinINet, so that it can refuse what it does not trust. Platform-free: the Location header is
// untrusted text from the network.

#include "detection/IpSite.h"

#include <optional>
#include <string_view>

namespace tovra {

// The site that `location` (a Location header's value) names when `from` redirects there:
// an absolute http or https URL, a scheme-relative "//host/path", an absolute path or a path
// relative to the page's folder. Empty when the target is unusable: another scheme, a step from
// https down to http, no host, a host with characters no host name has, a port outside 1 to
// 65535, or user information in the URL. A fragment ("#...") is dropped; a query stays.
std::optional<IpSite> RedirectTarget(const IpSite& from, std::string_view location);

} // namespace tovra
