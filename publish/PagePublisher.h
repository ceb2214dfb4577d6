#pragma once
// The page on the user's FTP server: checks the site settings, completes a remote path that names
// no file, fills the template with the posting's addresses and uploads it (CMyFtpUploader). A
// failure's reason is the upload's last own line, never a status line of the session.

#include "publish/Publisher.h"
#include "upload/MyFtpUploader.h"

#include <mutex>
#include <string>
#include <string_view>

namespace tovra {

class PagePublisher final : public Publisher, private LogSink {
public:
    explicit PagePublisher(const PublisherContext& context);

    Outcome Publish(const Posting& posting) override;

private:
    // The uploader's lines, on their way to the log; its helper thread may write them after a
    // step it was abandoned in, hence the lock.
    void AppendLog(std::string_view text) override;
    std::string LastStep();

    LogSink& log_;
    std::mutex lastStepMutex_;
    std::string lastStep_; // guarded by lastStepMutex_
    CMyFtpUploader uploader_;
};

} // namespace tovra
