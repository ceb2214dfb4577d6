#pragma once
// The page on the user's server over FTP with TLS: the same site check, remote path completion and
// page as the plain FTP page, sent with FtpsUploader, which checks the server's certificate and
// never falls back to clear text. A failure's reason is the uploader's last line.

#include "publish/Publisher.h"
#include "upload/FtpsUploader.h"
#include "upload/PageGenerator.h"

#include <optional>
#include <string>

namespace tovra {

class FtpsPagePublisher final : public Publisher {
public:
    explicit FtpsPagePublisher(const PublisherContext& context);

    Outcome Publish(const Posting& posting) override;

private:
    // The generated page's bytes; none, with the line logged, when it could not be made or read.
    std::optional<std::string> MakePage(const Settings& settings, const Posting& posting);

    LogSink& log_;
    PageGenerator generator_;
    FtpsUploader uploader_;
};

} // namespace tovra
