#include "publish/PagePublisher.h"

#include "framework/FixedText.h"
#include "publish/SiteValidation.h"
#include "upload/RemotePath.h"

namespace tovra {

PagePublisher::PagePublisher(const PublisherContext& context)
    : log_(*context.log), uploader_(*this, context.pageGenerator, context.stop) {
    uploader_.SetStepTimeout(context.pageStepTimeoutMs);
    uploader_.SetErrorBox(context.messageBox);
}

void PagePublisher::AppendLog(std::string_view text) {
    // The session's status lines come in brackets and only say what happened on the wire.
    if (text.empty() || text.front() != '[')
        lastStep_ = text;
    log_.AppendLog(text);
}

Outcome PagePublisher::Publish(const Posting& posting) {
    const Settings& settings = *posting.settings;
    const std::string siteAddress(FieldText(settings.SiteAddress));
    const SiteCheck check = ValidateSite(siteAddress, FieldText(settings.SitePort));
    if (check.problem != SiteProblem::None) {
        const bool address = check.problem == SiteProblem::MissingSiteAddress;
        const std::string_view line = address ? kInvalidSiteAddressLine : kInvalidPortLine;
        AppendLog(line);
        return Outcome::Failure(std::string(line),
                                address ? RefusedSetting::SiteAddress : RefusedSetting::SitePort);
    }

    uploader_.CloseConnection();
    CFtpSite& site = uploader_.site;
    site.serverAddress = siteAddress;
    site.port = check.port;
    site.userName = std::string(FieldText(settings.SiteUsername));
    site.password = FieldText(settings.SitePassword);
    site.passiveMode = settings.SitePasvMode ? 1 : 0;
    site.remotePath = FieldText(settings.SiteRemotePath);
    site.templateFile = FieldText(settings.LocalTemplateFile);
    const std::string added = CompleteRemotePath(site.remotePath, site.templateFile);
    if (!added.empty())
        AppendLog("No filename specified in Remote path, automatically adding local filename of " + added);
    uploader_.SetIpAddress(posting.ipv4);
    uploader_.SetIpv6Address(posting.ipv6);
    AppendLog("Connecting to " + siteAddress + "...");
    if (uploader_.Upload())
        return Outcome::Success();
    return Outcome::Failure("The upload failed: " + lastStep_);
}

} // namespace tovra
