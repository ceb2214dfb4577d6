#include "publish/SiteValidation.h"

#include "settings/Settings.h"

namespace tovra {

SiteCheck ValidateSite(std::string_view siteAddress, std::string_view sitePort) {
    if (siteAddress.empty())
        return {SiteProblem::MissingSiteAddress, 0};
    if (sitePort.empty())
        return {SiteProblem::BadPort, 0};
    // The stored port is read as every stored number is; a value clamped at the int range is
    // refused all the same.
    const std::int32_t port = LeadingInteger(sitePort);
    if (port < 0 || port > 65535)
        return {SiteProblem::BadPort, 0};
    return {SiteProblem::None, static_cast<unsigned short>(port)};
}

} // namespace tovra
