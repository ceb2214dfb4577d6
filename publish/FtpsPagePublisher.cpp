#include "publish/FtpsPagePublisher.h"

#include "framework/FixedText.h"
#include "publish/PageBytes.h"
#include "publish/SiteValidation.h"
#include "upload/RemotePath.h"

namespace tovra {

FtpsPagePublisher::FtpsPagePublisher(const PublisherContext& context)
    : log_(*context.log), generator_(context.pageGenerator), uploader_(*context.log, context.stop) {
    uploader_.SetStepTimeout(context.pageStepTimeoutMs);
}

Outcome FtpsPagePublisher::Publish(const Posting& posting) {
    const Settings& settings = *posting.settings;
    const std::string siteAddress(FieldText(settings.SiteAddress));
    const SiteCheck check = ValidateSite(siteAddress, FieldText(settings.SitePort));
    if (check.problem != SiteProblem::None) {
        const bool address = check.problem == SiteProblem::MissingSiteAddress;
        const std::string_view line = address ? kInvalidSiteAddressLine : kInvalidPortLine;
        log_.AppendLog(line);
        return Outcome::Failure(std::string(line),
                                address ? RefusedSetting::SiteAddress : RefusedSetting::SitePort);
    }
    FtpsJob job;
    job.server = siteAddress;
    job.port = check.port;
    job.userName = std::string(FieldText(settings.SiteUsername));
    job.password = FieldText(settings.SitePassword);
    job.passive = settings.SitePasvMode;
    job.remotePath = FieldText(settings.SiteRemotePath);
    const std::string added = CompleteRemotePath(job.remotePath, FieldText(settings.LocalTemplateFile));
    if (!added.empty())
        log_.AppendLog("No filename specified in Remote path, automatically adding local filename of " +
                       added);
    std::optional<std::string> page = MakePageBytes(log_, generator_, settings, posting);
    if (!page)
        return Outcome::Failure("The upload failed: the page could not be made.");
    job.page = std::move(*page);
    log_.AppendLog("Connecting to " + siteAddress + "...");
    const FtpsUploader::Outcome outcome = uploader_.Upload(job);
    if (outcome.uploaded)
        return Outcome::Success();
    return Outcome::Failure("The upload failed: " + outcome.reason);
}

} // namespace tovra
