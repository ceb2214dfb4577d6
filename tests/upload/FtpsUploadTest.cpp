// The FTP over TLS uploader against real servers on loopback: Debian's vsftpd at its strictest,
// and pyftpdlib with TLS for the faults.

#include "upload/FtpsUploader.h"

#include "framework/Win32Handles.h"

#include "tests/support/FtpsTestServer.h"
#include "tests/support/TrustedAuthority.h"
#include "tests/support/WaitUntil.h"
#include "tests/upload/RecordingLog.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tovra {
namespace {

using test::FtpsTestServer;
using test::RecordingLog;
using Clock = std::chrono::steady_clock;

// A page of 10 KB in CR LF lines, different for every posting.
std::string Page(int posting) {
    std::string page;
    for (int line = 0; page.size() < 10000; ++line)
        page += "<p>posting " + std::to_string(posting) + " line " + std::to_string(line) + "</p>\r\n";
    return page;
}

// pyftpdlib stores a TYPE A upload with CR LF turned into LF.
std::string AsStored(std::string page) {
    page.erase(std::remove(page.begin(), page.end(), '\r'), page.end());
    return page;
}

bool RunningUnderWine() {
    return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

bool SentCredentials(const std::vector<std::string>& commands) {
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
        EXPECT_FALSE(vsftpd.FileExists("pub/ip.html.part"));
    }
    const std::string log = log_.Text();
    EXPECT_NE(log.find("The connection is secured with TLS 1."), std::string::npos) << log;
    EXPECT_NE(log.find("Uploading file...\nFile uploaded successfully!\n"), std::string::npos) << log;
    EXPECT_EQ(log.find(vsftpd.Password()), std::string::npos);

    // Wine's Schannel never resumes a TLS session, so there a server that insists on it refuses
    // every data connection; the posting must then say so and leave the page as it was.
    const FtpsTestServer strict(FtpsTestServer::Kind::Vsftpd, pyftpdlib_);
    const FtpsJob job = Job(strict, "/pub/ip.html", true, ++posting);
    const FtpsUploader::Outcome outcome = uploader_.Upload(job);
    if (RunningUnderWine()) {
        EXPECT_EQ(outcome.reason, "The server refused the secure data connection: 522 SSL connection failed: "
                                  "session reuse required");
        EXPECT_FALSE(strict.FileExists("pub/ip.html"));
    } else {
        EXPECT_TRUE(outcome.uploaded) << log_.Text();
        EXPECT_EQ(strict.ReadFile("pub/ip.html"), job.page);
    }
}

// Each fault ends the posting with its line, sends the user name and password only where TLS
// protects them, leaves the page on the server whole, and the next posting works.
TEST_F(FtpsUploadTest, EachFaultSaysWhyKeepsThePageWholeAndTheNextPostingWorks) {
    struct Case {
        const char* fault;
        const char* host;
        bool passive;
        const char* line;
        bool uploaded;
        bool signedIn;
    };
    const Case cases[] = {
        {"auth", "localhost", true,
         "The server does not offer FTP over TLS (its answer to AUTH TLS: \"502 AUTH not offered by the "
         "test.\"), so the user name and password were not sent.",
         false, false},
        {"stranger", "localhost", true,
         "The certificate of localhost is not trusted, so the user name and password were not sent.", false,
         false},
        {"none", "127.0.0.1", true,
         "The certificate of 127.0.0.1 is made out for another name, so the user name and password were not "
         "sent.",
         false, false},
        {"handshake_drop", "localhost", true, "The TLS handshake with the server failed", false, false},
        {"cut", "localhost", true, "The transfer was interrupted (", false, true},
        {"cut", "localhost", false, "The transfer was interrupted (", false, true},
        {"pasv_other", "localhost", true,
         "The server named another address (127.0.0.2) for the data connection; its own address (127.0.0.1) "
         "was used.",
         true, true},
        {"rename_over", "localhost", false,
         "The server would not rename over the page, so the old page was deleted first.", true, true},
        // Last: from then on this uploader writes the page in place on this server.
        {"rename", "localhost", true, "The server refuses to rename files, so the page is written in place",
         true, true},
    };
    int posting = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fault) + (c.passive ? " passive" : " active"));
        pyftpdlib_->WriteFile("ip.html", "the previous page");
        pyftpdlib_->SetFault(c.fault);
        const std::size_t before = pyftpdlib_->Commands().size();
        const FtpsJob job = Job(*pyftpdlib_, "/ip.html", c.passive, ++posting, c.host);
        const FtpsUploader::Outcome outcome = uploader_.Upload(job);
        EXPECT_EQ(outcome.uploaded, c.uploaded);
        EXPECT_NE(log_.Text().find(c.line), std::string::npos) << log_.Text();
        if (!c.uploaded) {
            EXPECT_EQ(outcome.reason.rfind(c.line, 0), 0u) << outcome.reason;
            if (c.signedIn) { // cut off after the sign-in: the page was still going to its part file
                EXPECT_NE(outcome.reason.find("the page on the server stays as it was."), std::string::npos);
            }
        }
        const std::vector<std::string> commands = pyftpdlib_->Commands();
        EXPECT_EQ(SentCredentials({commands.begin() + static_cast<std::ptrdiff_t>(before), commands.end()}),
                  c.signedIn);
        EXPECT_EQ(pyftpdlib_->ReadFile("ip.html"), c.uploaded ? AsStored(job.page) : "the previous page");

        pyftpdlib_->SetFault("none");
        const FtpsJob next = Job(*pyftpdlib_, "/ip.html", c.passive, ++posting);
        EXPECT_TRUE(uploader_.Upload(next).uploaded) << log_.Text();
        EXPECT_EQ(pyftpdlib_->ReadFile("ip.html"), AsStored(next.page));
    }
    // A line break in a setting must not become a command of its own.
    const FtpsJob injected = Job(*pyftpdlib_, "/ip.html\r\nDELE ip.html", true, ++posting);
    EXPECT_FALSE(uploader_.Upload(injected).uploaded);
    EXPECT_TRUE(pyftpdlib_->FileExists("ip.html"));

    const std::string log = log_.Text();
    EXPECT_EQ(log.find("written in place"), log.rfind("written in place")) << "said more than once";
    EXPECT_EQ(log.find(pyftpdlib_->Password()), std::string::npos);
}

// Exit (the stop event) ends a posting held at any TLS step within a second, with no line; a
// server that stops answering ends it at the step's bound with one.
TEST_F(FtpsUploadTest, StopEndsEveryTlsStepWithinASecondAndTheBoundEndsAHang) {
    struct Case {
        const char* fault;
        const char* reached; // the command after which the server holds the posting
    };
    for (const Case c :
         {Case{"hang_auth", "AUTH"}, Case{"hang_handshake", "AUTH"}, Case{"hang_data", "STOR"}}) {
        SCOPED_TRACE(c.fault);
        pyftpdlib_->SetFault(c.fault);
        const std::size_t before = pyftpdlib_->Commands().size();
        FtpsUploader::Outcome outcome{true, "not finished"};
        std::thread posting([&] { outcome = uploader_.Upload(Job(*pyftpdlib_, "/ip.html", true, 1)); });
        EXPECT_TRUE(test::WaitUntil(
            [&] {
                const std::vector<std::string> commands = pyftpdlib_->Commands();
                return std::any_of(commands.begin() + static_cast<std::ptrdiff_t>(before), commands.end(),
                                   [&](const std::string& line) { return line.rfind(c.reached, 0) == 0; });
            },
            std::chrono::seconds(10)));
        // Long enough for the client to be waiting on the server inside the step.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const Clock::time_point stopped = Clock::now();
        ::SetEvent(stop_.get());
        posting.join();
        EXPECT_LT(Clock::now() - stopped, std::chrono::seconds(1));
        EXPECT_FALSE(outcome.uploaded);
        EXPECT_EQ(outcome.reason, "");
        ::ResetEvent(stop_.get());
    }
    uploader_.SetStepTimeout(1000);
    pyftpdlib_->SetFault("hang_handshake");
    EXPECT_EQ(uploader_.Upload(Job(*pyftpdlib_, "/ip.html", true, 1)).reason,
              "The server did not answer within 1 seconds.");
}

} // namespace
} // namespace tovra
