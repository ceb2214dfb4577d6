#pragma once
// The checks a post makes on the stored site settings before it connects. They are made when a post
// starts, not when the settings are saved, so that a broken setting is reported where the user
// sees the post fail.

#include <string_view>

namespace tovra {

inline constexpr std::string_view kInvalidSiteAddressLine =
    "Invalid Site address. Please re-enter the site address.";
inline constexpr std::string_view kInvalidPortLine =
    "Invalid Port address. Please re-enter the site address. (Default: 21)";

enum class SiteProblem {
    None,
    MissingSiteAddress, // nothing to connect to
    BadPort,            // empty, or a number no TCP port has
};

struct SiteCheck {
    SiteProblem problem = SiteProblem::None;
    unsigned short port = 0; // valid only when problem is None
};

// The port text is read as atoi reads it (leading blanks, a sign, then digits; text that is not a
// number reads as 0), but a value outside 0 to 65535 is refused: passing it on would silently
// connect to its low 16 bits, a different port. The site address is checked first.
SiteCheck ValidateSite(std::string_view siteAddress, std::string_view sitePort);

} // namespace tovra
