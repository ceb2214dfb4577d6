// The FTP over TLS uploader against real servers on loopback: Debian's vsftpd at its strictest,
// and pyftpdlib with TLS for the faults.

#include "upload/FtpsUploader.h"

#include "framework/Win32Handles.h"

#include "tests/support/FtpsTestServer.h"
#include "tests/support/TrustedAuthority.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tovra {
namespace {

using test::FtpsTestServer;
using Clock = std::chrono::steady_clock;

class RecordingLog : public LogSink {
public:
    void AppendLog(std::string_view text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        text_ += std::string(text) + "\n";
    }
    std::string Text() {
        std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }

private:
    std::mutex mutex_;
    std::string text_;
};

// A page of 10 KB in CR LF lines, different for every posting.
std::string Page(int posting) {
    std::string page;
    for (int line = 0; page.size() < 10000; ++line)
        page += "<p>posting " + std::to_string(posting) + " line " + std::to_string(line) + "</p>\r\n";
    return page;
}

[[maybe_unused]] bool SentCredentials(const std::vector<std::string>& commands) {
    return std::any_of(commands.begin(), commands.end(), [](const std::string& line) {
        return line.rfind("USER", 0) == 0 || line.rfind("PASS", 0) == 0;
    });
}

class FtpsUploadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The authority must be trusted before this process checks any certificate.
        pyftpdlib_ = new FtpsTestServer(FtpsTestServer::Kind::Pyftpdlib);
        trust_ = new test::TrustedAuthority(pyftpdlib_->AuthorityCertificate());
    }
    static void TearDownTestSuite() {
        delete trust_;
        delete pyftpdlib_;
    }
    void SetUp() override { pyftpdlib_->SetFault("none"); }

    FtpsJob Job(const FtpsTestServer& server, const std::string& remotePath, bool passive, int posting,
                const std::string& host = "localhost") {
        FtpsJob job;
        job.server = host;
        job.port = server.Port();
        job.userName = server.User();
        job.password = server.Password();
        job.remotePath = remotePath;
        job.passive = passive;
        job.page = Page(posting);
        return job;
    }

    static FtpsTestServer* pyftpdlib_;
    static test::TrustedAuthority* trust_;
    RecordingLog log_;
    UniqueKernelHandle stop_{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    FtpsUploader uploader_{log_, stop_.get()};
};

FtpsTestServer* FtpsUploadTest::pyftpdlib_ = nullptr;
test::TrustedAuthority* FtpsUploadTest::trust_ = nullptr;

TEST_F(FtpsUploadTest, StrictVsftpdTakesThePageInBothModesAndLeavesNoTemporaryFile) {
    const FtpsTestServer vsftpd(FtpsTestServer::Kind::VsftpdWithoutReuse, pyftpdlib_);
    int posting = 0;
    for (const bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        const FtpsJob job = Job(vsftpd, "/pub/ip.html", passive, ++posting);
        const FtpsUploader::Outcome outcome = uploader_.Upload(job);
        EXPECT_TRUE(outcome.uploaded) << log_.Text();
        EXPECT_EQ(vsftpd.ReadFile("pub/ip.html"), job.page);
        EXPECT_FALSE(vsftpd.FileExists("pub/ip.html.tovra-new"));
    }
    const std::string log = log_.Text();
    EXPECT_NE(log.find("The connection is secured with TLS 1."), std::string::npos) << log;
    EXPECT_NE(log.find("Uploading file...\nFile uploaded successfully!\n"), std::string::npos) << log;
    EXPECT_EQ(log.find(vsftpd.Password()), std::string::npos);
}

} // namespace
} // namespace tovra
