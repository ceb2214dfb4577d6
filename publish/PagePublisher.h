#pragma once
// The page on the user's FTP server: checks the site settings, completes a remote path that names
// no file, fills the template with the posting's addresses and uploads it (CMyFtpUploader). A
// failure's reason is the upload's last own line, never a status line of the session.

#include "publish/Publisher.h"
#include "upload/MyFtpUploader.h"

#include <string>
#include <string_view>

namespace tovra {

class PagePublisher final : public Publisher, private LogSink {
public:
    explicit PagePublisher(const PublisherContext& context);

    Outcome Publish(const Posting& posting) override;

private:
    // The uploader's lines, on their way to the log. Its helper thread writes them only while the
    // upload waits for it (InternetExchange's gate), so lastStep_ needs no lock of its own.
    void AppendLog(std::string_view text) override;

    LogSink& log_;
    std::string lastStep_;
    CMyFtpUploader uploader_;
};

} // namespace tovra
