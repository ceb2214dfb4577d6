// The uploader against a real FTP server on loopback.

#include "upload/MyFtpUploader.h"
#include "framework/WideText.h"

#include "tests/support/FtpTestServer.h"
#include "tests/upload/RecordingLog.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/WideFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace tovra {
namespace {

using test::FtpFault;
using test::FtpTestServer;
using test::RecordingLog;
using test::WaitUntil;
using Clock = std::chrono::steady_clock;

std::string ThreadTag() {
    return "[" + std::to_string(::GetCurrentThreadId()) + "] ";
}

class UploadTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, temp);
        workDir_ = std::string(temp) + "tovra-upload-" + std::to_string(::GetCurrentProcessId()) + "\\";
        ::CreateDirectoryA(workDir_.c_str(), nullptr);
        templatePath_ = workDir_ + "Tovra.html";
        WriteFile(templatePath_, "<p>IP <ipaddress></p>\r\n<p>at <time></p>\r\n");

        generator_ = PageGenerator(WidenAnsi(workDir_), WidenAnsi(workDir_), [] {
            LocalDateTime t;
            t.hour = 21;
            t.minute = 5;
            t.second = 7;
            return t;
        });
        uploader_ = std::make_unique<CMyFtpUploader>(log_, generator_);
        Configure(*uploader_);
    }

    void Configure(CMyFtpUploader& uploader) { Configure(uploader, ftp_); }
    void Configure(CMyFtpUploader& uploader, FtpTestServer& server) {
        uploader.SetErrorBox([this](const char*) { ++errorBoxes_; });
        uploader.site.serverAddress = "127.0.0.1";
        uploader.site.port = server.Port();
        uploader.site.userName = server.User();
        uploader.site.password = server.Password();
        uploader.site.passiveMode = 1;
        uploader.site.remotePath = "/ip.html";
        uploader.site.templateFile = templatePath_;
        uploader.SetIpAddress("203.0.113.7");
    }

    void TearDown() override {
        uploader_.reset();
        // A store abandoned by a test holds the page open until the server goes.
        ftp_.Stop();
        WaitUntil([this] { return ::DeleteFileW(generator_.PagePath().c_str()) || !PageFileExists(); },
                  std::chrono::seconds(10));
        ::DeleteFileA(templatePath_.c_str());
        ::RemoveDirectoryA(workDir_.c_str());
    }

    static void WriteFile(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    bool PageFileExists() const {
        return ::GetFileAttributesW(generator_.PagePath().c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    std::string LastStepLine() {
        const auto steps = log_.StepLines();
        return steps.empty() ? std::string() : steps.back();
    }

    FtpTestServer ftp_;
    RecordingLog log_;
    std::string workDir_;
    std::string templatePath_;
    PageGenerator generator_;
    std::unique_ptr<CMyFtpUploader> uploader_;
    std::atomic<int> errorBoxes_{0};
};

const std::vector<std::string> kAllSteps = {"Setting remote directory...", "Generating Template file...",
                                            "Uploading file...", "File uploaded successfully!"};

TEST_F(UploadTest, SuccessfulUploadLogsEveryStepBetweenStatusLinesAndLeavesConnectionOpen) {
    ASSERT_TRUE(uploader_->Upload());

    EXPECT_EQ(log_.StepLines(), kAllSteps);
    const auto lines = log_.Lines();
    ASSERT_FALSE(lines.empty());
    // The session reports the connection before the first step, and the transfer's exchange
    // between "Uploading file..." and the success line; all on the uploading thread.
    EXPECT_TRUE(RecordingLog::IsStatusLine(lines.front()));
    const auto uploading = std::find(lines.begin(), lines.end(), "Uploading file...");
    ASSERT_NE(uploading, lines.end());
    EXPECT_TRUE(RecordingLog::IsStatusLine(*(uploading + 1)));
    for (const std::string& line : lines) {
        if (RecordingLog::IsStatusLine(line)) {
            EXPECT_EQ(line.rfind(ThreadTag(), 0), 0u) << line;
        }
    }

    // ASCII mode: the server stores the lines with its own line ends.
    EXPECT_EQ(ftp_.ReadFile("ip.html"), "<p>IP 203.0.113.7</p>\n<p>at 09:05:07 PM</p>\n");
    EXPECT_FALSE(PageFileExists());

    // Still open: closing it now is what reports the closing.
    const std::size_t before = log_.Lines().size();
    EXPECT_TRUE(uploader_->CloseConnection());
    const std::size_t afterFirstClose = log_.Lines().size();
    EXPECT_GT(afterFirstClose, before);
    EXPECT_TRUE(uploader_->CloseConnection());
    EXPECT_EQ(log_.Lines().size(), afterFirstClose);
}

TEST_F(UploadTest, ActiveModeUploadsIntoTheRemoteDirectory) {
    ftp_.MakeDirectory("pub");
    uploader_->site.passiveMode = 0;
    uploader_->site.remotePath = "/pub/index.html";
    ASSERT_TRUE(uploader_->Upload());
    EXPECT_EQ(log_.StepLines(), kAllSteps);
    EXPECT_TRUE(ftp_.FileExists("pub/index.html"));
}

TEST_F(UploadTest, SecondUploadAfterCloseConnectionReplacesThePage) {
    ASSERT_TRUE(uploader_->Upload());
    uploader_->CloseConnection();
    uploader_->SetIpAddress("198.51.100.1");
    ASSERT_TRUE(uploader_->Upload());
    EXPECT_EQ(ftp_.ReadFile("ip.html"), "<p>IP 198.51.100.1</p>\n<p>at 09:05:07 PM</p>\n");
}

TEST_F(UploadTest, ATemporaryFolderOutsideTheCodePageStillCarriesThePage) {
    // A user named Łucja on an English-language system: the code page cannot spell her folders.
    const std::wstring temp = test::ForeignTempFolder(L"upload");
    ASSERT_TRUE(::CreateDirectoryW(temp.c_str(), nullptr));
    CMyFtpUploader uploader(log_, PageGenerator(temp, WidenAnsi(workDir_), [] { return LocalDateTime{}; }));
    Configure(uploader);
    uploader.site.templateFile = "Tovra.html"; // found in the program's folder
    EXPECT_TRUE(uploader.Upload());
    EXPECT_EQ(log_.StepLines(), kAllSteps);
    EXPECT_EQ(ftp_.ReadFile("ip.html"), "<p>IP 203.0.113.7</p>\n<p>at 12:00:00 AM</p>\n");
    uploader.CloseConnection();
    EXPECT_TRUE(::RemoveDirectoryW(temp.c_str())) << "the page file was deleted";
}

TEST_F(UploadTest, PathWithoutDirectoryIsStoredWithoutChangingDirectory) {
    ftp_.SetFault(FtpFault::DirectoryRefused); // a CWD would fail the upload
    uploader_->site.remotePath = "ip.html";
    ASSERT_TRUE(uploader_->Upload());
    EXPECT_TRUE(ftp_.FileExists("ip.html"));
}

TEST_F(UploadTest, WrongPasswordGivesExactlyOneErrorLineAndNoStep) {
    uploader_->site.password = "wrong";
    EXPECT_FALSE(uploader_->Upload());
    const auto steps = log_.StepLines();
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_FALSE(steps[0].empty());
    EXPECT_EQ(steps[0].find_first_of("\r\n"), std::string::npos) << steps[0];
    EXPECT_NE(steps[0].find("530"), std::string::npos) << "the server's own reply: " << steps[0];
    EXPECT_EQ(errorBoxes_, 0);
    EXPECT_FALSE(PageFileExists());
}

TEST_F(UploadTest, RefusedPortAndUnknownHostEachGiveOneErrorLine) {
    ftp_.Stop();
    EXPECT_FALSE(uploader_->Upload());
    ASSERT_EQ(log_.StepLines().size(), 1u);

    uploader_->CloseConnection();
    uploader_->site.serverAddress = "no-such-host.invalid";
    EXPECT_FALSE(uploader_->Upload());
    ASSERT_EQ(log_.StepLines().size(), 2u);
    EXPECT_EQ(errorBoxes_, 0);
}

// A posting that fails ends with a line that says why, right after the step that failed.
TEST_F(UploadTest, RefusedDirectoryOrMissingTemplateStopsAtItsStepAndSaysWhy) {
    ftp_.SetFault(FtpFault::DirectoryRefused);
    uploader_->site.remotePath = "/pub/ip.html";
    EXPECT_FALSE(uploader_->Upload());
    EXPECT_EQ(log_.StepLines(), (std::vector<std::string>{"Setting remote directory...",
                                                          "550 Directory change refused by the test."}));
    EXPECT_FALSE(PageFileExists());

    ftp_.SetFault(FtpFault::None);
    uploader_->site.remotePath = "/ip.html";
    uploader_->site.templateFile = workDir_ + "missing.html";
    EXPECT_FALSE(uploader_->Upload());
    EXPECT_EQ(LastStepLine(), "The template file could not be read (system error 2).");
    EXPECT_FALSE(ftp_.FileExists("ip.html"));
}

TEST_F(UploadTest, RefusedOrDroppedTransferStopsAtItsStepAndDeletesThePage) {
    for (const FtpFault fault : {FtpFault::StoreRefused, FtpFault::DropDuringTransfer}) {
        // A large page, so the drop comes while bytes are still on their way.
        WriteFile(templatePath_, std::string(256 * 1024, 'x'));
        ftp_.SetFault(fault);
        uploader_->CloseConnection();
        EXPECT_FALSE(uploader_->Upload());
        const std::vector<std::string> steps = log_.StepLines();
        ASSERT_GE(steps.size(), 2u);
        EXPECT_EQ(steps[steps.size() - 2], "Uploading file...");
        if (fault == FtpFault::StoreRefused) {
            EXPECT_EQ(steps.back(), "553 Store refused by the test.");
        }
        EXPECT_FALSE(PageFileExists());
    }
}

// The page on the server changes whole or not at all, whatever the server does to the transfer,
// and the next posting works. Each fault stays on for the second posting where it is the server's
// nature (a rename it refuses), and is gone where it was an accident (a cut line, a bad reply).
struct ReplacementFault {
    FtpFault fault;
    const char* line; // the fault's line; the first posting fails when it is the last line
    bool uploaded;
    bool lineAgain; // whether the second posting says it again
};
const ReplacementFault kReplacementFaults[] = {
    {FtpFault::CutAfter2000Bytes, "The transfer was interrupted; the page on the server stays as it was.",
     false, false},
    {FtpFault::PassiveElsewhere,
     "The server named another address (127.0.0.2) for the page's data connection, so the page was not sent.",
     false, false},
    {FtpFault::RenameOverRefused,
     "The server would not rename over the page, so the old page was deleted first.", true, true},
    {FtpFault::RenameRefused,
     "The server refuses to rename files, so the page is written in place: a cut transfer can leave it "
     "incomplete there.",
     true, false},
};

TEST_F(UploadTest, ThePageOnTheServerIsReplacedWholeOrNotAtAll) {
    const std::string page(6000, 'x'); // longer than the cut
    WriteFile(templatePath_, page);
    for (const ReplacementFault& c : kReplacementFaults) {
        SCOPED_TRACE(c.line);
        RecordingLog log;
        CMyFtpUploader uploader(log, generator_);
        Configure(uploader);
        ftp_.WriteFile("ip.html", "the previous page");
        ftp_.SetFault(c.fault);
        EXPECT_EQ(uploader.Upload(), c.uploaded);
        const std::vector<std::string> first = log.StepLines();
        ASSERT_GE(first.size(), 2u);
        EXPECT_EQ(first[first.size() - (c.uploaded ? 2 : 1)], c.line);
        EXPECT_EQ(ftp_.ReadFile("ip.html"), c.uploaded ? page : "the previous page");
        if (c.fault == FtpFault::PassiveElsewhere) {
            const test::CaughtData caught = ftp_.Caught();
            EXPECT_EQ(caught.connections, 0);
            EXPECT_EQ(caught.bytes, 0);
        }

        if (!c.uploaded)
            ftp_.SetFault(FtpFault::None);
        uploader.CloseConnection();
        ASSERT_TRUE(uploader.Upload());
        const std::vector<std::string> all = log.StepLines();
        const std::vector<std::string> second(all.begin() + first.size(), all.end());
        EXPECT_EQ(std::count(second.begin(), second.end(), c.line), c.lineAgain ? 1 : 0);
        EXPECT_EQ(ftp_.ReadFile("ip.html"), page);
        EXPECT_FALSE(ftp_.FileExists("ip.html.part")) << "no stray file after a successful posting";
        ftp_.SetFault(FtpFault::None);
    }
}

// The server cannot connect back for the data: the line says so and points at Passive Mode; a
// store the server refuses for its own reasons points nowhere.
TEST_F(UploadTest, ADataConnectionThatFailsInActiveModeSuggestsPassiveMode) {
    const std::string suggestion =
        "The data connection failed in active mode, as it does behind a firewall or "
        "a router: try ticking Passive Mode on the Connection tab.";
    uploader_->site.passiveMode = 0;
    ftp_.SetFault(FtpFault::ActiveDataBlocked);
    EXPECT_FALSE(uploader_->Upload());
    const std::vector<std::string> steps = log_.StepLines();
    ASSERT_GE(steps.size(), 3u);
    EXPECT_EQ(steps[steps.size() - 3], "Uploading file..."); // then why, then the suggestion
    EXPECT_EQ(steps.back(), suggestion);
    EXPECT_FALSE(PageFileExists());

    ftp_.SetFault(FtpFault::StoreRefused);
    uploader_->CloseConnection();
    EXPECT_FALSE(uploader_->Upload());
    EXPECT_EQ(LastStepLine(), "553 Store refused by the test.");
}

const std::string kTimedOut = "The server did not answer within 1 seconds.";

// The step lines up to a hang in the given step, and the status line that shows the step under
// way (for a hang before the greeting, any status line: the connect has begun).
struct HangingStep {
    FtpFault fault;
    const char* stepLine; // null: the connect
    std::vector<std::string> stepsBeforeTheDeadline;
};
const HangingStep kHangingSteps[] = {
    {FtpFault::Hang, nullptr, {}},
    {FtpFault::HangOnDirectory, "Setting remote directory...", {"Setting remote directory..."}},
    {FtpFault::HangOnStore,
     "Uploading file...",
     {"Setting remote directory...", "Generating Template file...", "Uploading file..."}},
};

bool StepUnderWay(const std::vector<std::string>& lines, const char* stepLine) {
    auto from = stepLine == nullptr ? lines.begin() : std::find(lines.begin(), lines.end(), stepLine);
    return from != lines.end() && std::any_of(from, lines.end(), RecordingLog::IsStatusLine);
}

// A server that accepts and then never answers would hold a step for good under Wine, whose
// WinINet neither honours the receive time-out nor wakes a blocked FTP command when its handles
// are closed. Each step is cut off at the uploader's own deadline all the same. The server stays
// busy while the abandoned step holds it, so each case has a server of its own. All are started
// first: an abandoned step wakes when its server goes, and under Wine a server started at that
// moment found its listening socket closed under it (WSAENOTSOCK), as if the waking step's
// clean-up had closed a socket number that was given out again.
TEST_F(UploadTest, EveryStepThatHangsIsCutOffAtTheStepDeadline) {
    std::vector<std::unique_ptr<FtpTestServer>> servers;
    for (std::size_t i = 0; i < std::size(kHangingSteps); ++i)
        servers.push_back(std::make_unique<FtpTestServer>());
    for (std::size_t i = 0; i < std::size(kHangingSteps); ++i) {
        const HangingStep& step = kHangingSteps[i];
        FtpTestServer& server = *servers[i];
        SCOPED_TRACE(static_cast<int>(step.fault));
        RecordingLog log;
        CMyFtpUploader uploader(log, generator_);
        Configure(uploader, server);
        uploader.SetStepTimeout(1000);
        server.SetFault(step.fault);
        const auto start = Clock::now();
        EXPECT_FALSE(uploader.Upload());
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
        std::vector<std::string> expected = step.stepsBeforeTheDeadline;
        expected.push_back(kTimedOut);
        EXPECT_EQ(log.StepLines(), expected);
        EXPECT_EQ(errorBoxes_, 0);
        if (step.fault == FtpFault::HangOnStore) {
            // The abandoned store still holds the page open inside WinINet until the server goes;
            // the next posting's CloseConnection deletes it then.
            server.Stop();
            EXPECT_TRUE(WaitUntil(
                [&] {
                    uploader.CloseConnection();
                    return !PageFileExists();
                },
                std::chrono::seconds(10)));
        }
        EXPECT_FALSE(PageFileExists());
    }
}

// A greeting continued for ever holds the abandoned connect for good: later postings to that
// server start nothing and say why, so it costs one connection however often the timer fires.
TEST_F(UploadTest, AServerThatTricklesItsGreetingHoldsOneConnectionNotOnePerPosting) {
    uploader_->SetStepTimeout(1000);
    ftp_.SetFault(FtpFault::TrickleGreeting);
    EXPECT_FALSE(uploader_->Upload());
    for (int posting = 0; posting < 2; ++posting) {
        const auto start = Clock::now();
        EXPECT_FALSE(uploader_->Upload());
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
    }
    EXPECT_EQ(
        log_.StepLines(),
        (std::vector<std::string>{
            kTimedOut, "The server still has not answered an earlier upload, so this one was not started.",
            "The server still has not answered an earlier upload, so this one was not started."}));
}

TEST_F(UploadTest, CancelEndsAnUploadBlockedInAnyStepAndRefusesLaterOnes) {
    for (const HangingStep& step : kHangingSteps) {
        SCOPED_TRACE(static_cast<int>(step.fault));
        RecordingLog log;
        CMyFtpUploader uploader(log, generator_); // the 30 seconds of the program
        Configure(uploader);
        ftp_.SetFault(step.fault);
        std::atomic<bool> returned{false};
        std::thread poster([&] {
            EXPECT_FALSE(uploader.Upload());
            returned = true;
        });
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (!StepUnderWay(log.Lines(), step.stepLine) && Clock::now() < deadline)
            std::this_thread::yield();
        EXPECT_TRUE(StepUnderWay(log.Lines(), step.stepLine));

        const auto start = Clock::now();
        uploader.Cancel();
        poster.join();
        EXPECT_TRUE(returned);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(log.StepLines(), step.stepsBeforeTheDeadline) << "a cancelled upload reports nothing more";

        ftp_.SetFault(FtpFault::None);
        const std::size_t before = log.Lines().size();
        EXPECT_FALSE(uploader.Upload());
        EXPECT_EQ(log.Lines().size(), before);
    }
}

} // namespace
} // namespace tovra
