#include "publish/WebDavPagePublisher.h"

#include "publish/PageBytes.h"
#include "publish/PageSite.h"

namespace tovra {

WebDavPagePublisher::WebDavPagePublisher(const PublisherContext& context)
    : log_(*context.log), generator_(context.pageGenerator), uploader_(*context.log, context.stop) {
    uploader_.SetStepTimeout(context.pageStepTimeoutMs);
}

Outcome WebDavPagePublisher::Publish(const Posting& posting) {
    const Settings& settings = *posting.settings;
    Outcome refused;
    std::optional<PageSite> site = ReadPageSite(settings, log_, refused);
    if (!site)
        return refused;
    WebDavJob job;
    job.server = site->address;
    job.port = site->port;
    job.userName = std::move(site->userName);
    job.password = std::move(site->password);
    job.remotePath = std::move(site->remotePath);
    std::optional<std::string> page = MakePageBytes(log_, generator_, settings, posting);
    if (!page)
        return Outcome::Failure("The upload failed: the page could not be made.");
    job.page = std::move(*page);
    log_.AppendLog("Connecting to " + job.server + "...");
    const WebDavUploader::Outcome outcome = uploader_.Upload(job);
    if (outcome.uploaded)
        return Outcome::Success();
    return Outcome::Failure("The upload failed: " + outcome.reason);
}

} // namespace tovra
