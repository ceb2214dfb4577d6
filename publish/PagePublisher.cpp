#include "publish/PagePublisher.h"

#include "publish/PageSite.h"

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
    Outcome refused;
    std::optional<PageSite> read = ReadPageSite(*posting.settings, *this, refused);
    if (!read)
        return refused;

    uploader_.CloseConnection();
    CFtpSite& site = uploader_.site;
    site.serverAddress = read->address;
    site.port = read->port;
    site.userName = std::move(read->userName);
    site.password = std::move(read->password);
    site.passiveMode = read->passive ? 1 : 0;
    site.remotePath = std::move(read->remotePath);
    site.templateFile = std::move(read->templateFile);
    uploader_.SetIpAddress(posting.ipv4);
    uploader_.SetIpv6Address(posting.ipv6);
    AppendLog("Connecting to " + site.serverAddress + "...");
    if (uploader_.Upload())
        return Outcome::Success();
    return Outcome::Failure("The upload failed: " + lastStep_);
}

} // namespace tovra
