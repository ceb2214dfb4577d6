#include "publish/PageSite.h"

#include "framework/FixedText.h"
#include "publish/SiteValidation.h"
#include "upload/RemotePath.h"

namespace tovra {

std::optional<PageSite> ReadPageSite(const Settings& settings, LogSink& log, Outcome& failure) {
    PageSite site;
    site.address = FieldText(settings.SiteAddress);
    const SiteCheck check = ValidateSite(site.address, FieldText(settings.SitePort));
    if (check.problem != SiteProblem::None) {
        const bool address = check.problem == SiteProblem::MissingSiteAddress;
        const std::string_view line = address ? kInvalidSiteAddressLine : kInvalidPortLine;
        log.AppendLog(line);
        failure = Outcome::Failure(std::string(line),
                                   address ? RefusedSetting::SiteAddress : RefusedSetting::SitePort);
        return std::nullopt;
    }
    site.port = check.port;
    site.userName = FieldText(settings.SiteUsername);
    site.password = FieldText(settings.SitePassword);
    site.passive = settings.SitePasvMode;
    site.remotePath = FieldText(settings.SiteRemotePath);
    site.templateFile = FieldText(settings.LocalTemplateFile);
    const std::string added = CompleteRemotePath(site.remotePath, site.templateFile);
    if (!added.empty())
        log.AppendLog("No filename specified in Remote path, automatically adding local filename of " +
                      added);
    return site;
}

} // namespace tovra
