#pragma once
// The stored form of the IP echo site list: the registry value "IpSites" beside the thirteen
// older values, a REG_MULTI_SZ with one site per text in the form SiteUrl writes
// ("ifconfig.me/ip", "https://api.ipify.org/"), in the order the checker asks them.
//
// The value is absent for every installation older than the list, and any program may have
// written anything under that name. Whatever the bytes, decoding ends; a value that is not one
// whole multi-string within kMaxStoredIpSitesBytes counts as absent, and the caller then uses
// the built-in sites.

#include "detection/IpSite.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tovra {

inline constexpr char kIpSitesValueName[] = "IpSites";

// Far above a full list (kMaxIpSites sites of at most "https://", a 253-character host, a port
// and a 256-character path each), and small enough that a damaged value costs nothing to read.
inline constexpr std::uint32_t kMaxStoredIpSitesBytes = 64 * 1024;

// The value's bytes: each site's URL and its terminating zero, then the zero that ends the list
// (an empty list is that zero alone).
std::string EncodeIpSites(const std::vector<IpSite>& sites);

// The list the bytes hold, or nothing when they are more than kMaxStoredIpSitesBytes or their
// last text lacks its terminating zero (cut short: it may have lost the end of a site). Zero
// bytes and an empty list read as an empty list: the user removed every site. The extra zero
// that ends the list may be missing, as some writers leave it out. An entry that is no sound site, or repeats
// an earlier one, is left out rather than costing the user the rest of the list; so is every entry beyond
// kMaxIpSites.
std::optional<std::vector<IpSite>> DecodeIpSites(std::string_view bytes);

} // namespace tovra
