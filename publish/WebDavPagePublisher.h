#pragma once
// The page on the user's server over WebDAV with HTTPS: the same site check, remote path
// completion and page as the FTP page, put with WebDavUploader. A failure's reason is the
// uploader's last line.

#include "publish/Publisher.h"
#include "upload/PageGenerator.h"
#include "upload/WebDavUploader.h"

namespace tovra {

class WebDavPagePublisher final : public Publisher {
public:
    explicit WebDavPagePublisher(const PublisherContext& context);

    Outcome Publish(const Posting& posting) override;

private:
    LogSink& log_;
    PageGenerator generator_;
    WebDavUploader uploader_;
};

} // namespace tovra
