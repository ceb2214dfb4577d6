#include "publish/FtpsPagePublisher.h"

#include "framework/FixedText.h"
#include "publish/SiteValidation.h"
#include "upload/File.h"
#include "upload/RemotePath.h"

namespace tovra {

FtpsPagePublisher::FtpsPagePublisher(const PublisherContext& context)
    : log_(*context.log), generator_(context.pageGenerator), uploader_(*context.log, context.stop) {
    uploader_.SetStepTimeout(context.pageStepTimeoutMs);
}

std::optional<std::string> FtpsPagePublisher::MakePage(const Settings& settings, const Posting& posting) {
    log_.AppendLog("Generating Template file...");
    const PageGenerator::Result page =
        generator_.Generate(FieldText(settings.LocalTemplateFile), posting.ipv4, posting.ipv6);
    if (!page) {
        const bool reading = page.failedStep == PageGenerator::Step::OpenTemplate ||
                             page.failedStep == PageGenerator::Step::ReadTemplate;
        log_.AppendLog(std::string(reading ? "The template file could not be read"
                                           : "The page file could not be written") +
                       " (system error " + std::to_string(page.errorCode) + ").");
        return std::nullopt;
    }
    std::string bytes;
    File file;
    bool read = file.Open(page.pagePath, File::Mode::Read);
    for (std::uint32_t got = 1; read && got > 0;) {
        char chunk[PageGenerator::kChunkSize];
        read = file.Read(chunk, sizeof chunk, got);
        bytes.append(chunk, read ? got : 0);
    }
    const unsigned long error = file.LastError();
    file.Close();
    ::DeleteFileW(page.pagePath.c_str());
    if (!read) {
        log_.AppendLog("The page file could not be read (system error " + std::to_string(error) + ").");
        return std::nullopt;
    }
    return bytes;
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
    std::optional<std::string> page = MakePage(settings, posting);
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
