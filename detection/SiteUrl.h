#pragma once
// The form in which the user writes an IP echo site, and in which the Advanced page shows it and
// the settings store it: an address "host", "host:port", "http://host[:port]" or
// "https://host[:port]", and the path of the page on that host.
//
// Every site that leaves here is in one canonical shape, so that two ways of writing the same
// site compare equal (IpSite's ==): the host in lower case (names are not case-sensitive), the
// scheme's own port as 0, the path beginning with "/". The path keeps its case: servers tell
// "/IP" from "/ip".

#include "detection/IpSite.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tovra {

// The longest list the Advanced page takes and the settings store. Each dead site costs a lookup
// deadline, so even this many is far more than a check can usefully ask.
inline constexpr std::size_t kMaxIpSites = 100;

// What is wrong with a site as written; None when it is sound.
enum class SiteFormError {
    None,
    NoHost,        // the address is empty, or holds a scheme or port and no host
    Scheme,        // a scheme other than http:// and https://
    Host,          // a character or a label that no host name has
    Port,          // a port that is not a number from 1 to 65535
    PathInAddress, // a "/" after the host: the page's path belongs in the path
    Path,          // a character that a URL path may not hold (blanks, controls, "#", non-ASCII)
    Listed,        // the same site is in the list already
    ListFull,      // the list holds kMaxIpSites
};

// Reads an address and a path as typed. Surrounding blanks and a "/" that ends the address are
// ignored; an empty path is "/", and a path without a leading "/" gets one. On success `site`
// holds the canonical site; on failure it is unchanged.
SiteFormError ParseSiteForm(std::string_view address, std::string_view path, IpSite& site);

// ParseSiteForm for a site to be added to `listed`: also refuses one that is listed already
// (in any of its written forms) and any when the list is full.
SiteFormError ParseNewSite(std::string_view address, std::string_view path, const std::vector<IpSite>& listed,
                           IpSite& site);

// The site as one line of text: the address and the path joined, without "http://" for plain
// HTTP and without the scheme's own port ("ifconfig.me/ip", "https://api.ipify.org/",
// "echo.example:8080/"). ParseSiteUrl reads it back to the same site.
std::string SiteUrl(const IpSite& site);

// Reads one line as SiteUrl writes it (or as a user would: a missing path is "/").
SiteFormError ParseSiteUrl(std::string_view url, IpSite& site);

// One short sentence for the Add IP Site dialog that says what to correct; empty for None.
std::string_view SiteFormHint(SiteFormError error) noexcept;

} // namespace tovra
