// The posting cycle with a fake main window: decision, validation, remote file names, the log's
// order across threads, the post of the address held, and the whole road from a real address
// checker through a real FTP upload.

#include "cycle/PostingCycle.h"

#include "cycle/LogLine.h"
#include "publish/SiteValidation.h"
#include "detection/IpAddressChecker.h"
#include "framework/FixedText.h"
#include "framework/WideText.h"
#include "tests/support/EchoProxyServer.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/WideFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace tovra {
namespace {

using test::FtpFault;
using test::FtpTestServer;
using test::WaitUntil;
using SteadyClock = std::chrono::steady_clock;

constexpr char kStamp[] = "09:05:07 PM - ";

LocalDateTime FixedTime() {
    LocalDateTime t;
    t.hour = 21;
    t.minute = 5;
    t.second = 7;
    return t;
}

// The main window as the cycle sees it. One recursive lock stands for the one window thread.
class FakeView : public CycleView {
public:
    // Runs at once: the fake's window thread is whichever thread posts, one at a time.
    bool PostToWindowThread(std::function<void()> fn) override {
        std::lock_guard<std::recursive_mutex> lock(window_);
        if (closed_)
            return false;
        fn();
        return true;
    }
    void AppendLogText(std::string_view lines) override { log_ += lines; }
    void ShowDetectedAddress(std::string_view ipv4, std::string_view ipv6) override {
        address_ = ipv4;
        ipv6_ = ipv6;
    }
    void ShowDetailsPage() override { ++detailsShown_; }
    void ShowRefusedSetting(RefusedSetting setting) override { focus_ = setting; }
    void ShowBusy(bool) override {}
    void ShowPostingResult(bool failed, std::string_view reason, bool retryFollows) override {
        results_.push_back(failed ? std::string(reason) : "posted");
        if (failed)
            retriesFollow_.push_back(retryFollows);
    }
    void ShowMessageBox(std::string_view text) override { boxes_.push_back(std::string(text)); }

    template <typename T> T Read(T FakeView::*member) {
        std::lock_guard<std::recursive_mutex> lock(window_);
        return this->*member;
    }
    void Close() {
        std::lock_guard<std::recursive_mutex> lock(window_);
        closed_ = true;
    }
    // The log's lines without their time stamp and line end.
    std::vector<std::string> Lines() {
        std::vector<std::string> lines;
        std::istringstream in(Read(&FakeView::log_));
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line.rfind(kStamp, 0) == 0 ? line.substr(sizeof kStamp - 1)
                                                       : "BAD STAMP: " + line);
        }
        return lines;
    }
    // The cycle's own lines: without the status lines of the internet session.
    std::vector<std::string> StepLines() {
        std::vector<std::string> steps;
        for (const std::string& line : Lines())
            if (line.empty() || line[0] != '[')
                steps.push_back(line);
        return steps;
    }

    std::recursive_mutex window_;
    bool closed_ = false;
    std::string log_;
    std::string address_;
    std::string ipv6_;
    int detailsShown_ = 0;
    std::optional<RefusedSetting> focus_;
    std::vector<std::string> results_; // "posted", or the reason of a failure
    std::vector<bool> retriesFollow_;  // of each failure
    std::vector<std::string> boxes_;
};

class PostingCycleTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, temp);
        workDir_ = std::string(temp) + "tovra-cycle-" + std::to_string(::GetCurrentProcessId()) + "\\";
        ::CreateDirectoryA(workDir_.c_str(), nullptr);
        templatePath_ = workDir_ + "Tovra.html";
        std::ofstream(templatePath_, std::ios::binary) << "IP <ipaddress>";

        CopyBounded(settings_.SitePort, "21");
        CopyBounded(settings_.LocalTemplateFile, templatePath_);
        CopyBounded(settings_.SiteRemotePath, "/ip.html");
        settings_.SitePasvMode = true;
        Build(30000);
    }
    void Build(DWORD stepTimeoutMs) {
        if (cycle_)
            cycle_->Stop();
        PostingCycleOptions options;
        options.pageGenerator = PageGenerator(WidenAnsi(workDir_), WidenAnsi(workDir_), &FixedTime);
        options.uploadStepTimeoutMs = stepTimeoutMs;
        options.clock = &FixedTime;
        options.errorBox = [](const char*) { ADD_FAILURE() << "no message box expected"; };
        options.logFilePath = logFilePath_;
        options.programVersion = "2.0 (build 7)";
        cycle_ = CPostingCycle::Create(view_, std::move(options));
        Use();
        cycle_->Start([this](bool useWeb, bool displayOnly) { requests_.push_back({useWeb, displayOnly}); });
    }
    // The settings as saved; with stored, as loaded, their addresses the ones held.
    void Use(bool stored = false) {
        cycle_->UseSettings(std::make_shared<const Settings>(settings_), stored);
    }
    void Store(const char* address, const char* ipv6Address = "") {
        CopyBounded(settings_.LastIP, address);
        CopyBounded(settings_.LastIPv6, ipv6Address);
        Use(true);
    }
    void TearDown() override {
        view_->Close();
        cycle_->Stop();
        cycle_.reset();
        ::DeleteFileA(templatePath_.c_str());
        ::DeleteFileA((workDir_ + "Tovra.tmp").c_str());
        ::RemoveDirectoryA(workDir_.c_str());
    }
    void UseServer(const FtpTestServer& ftp) {
        CopyBounded(settings_.SiteAddress, "127.0.0.1");
        CopyBounded(settings_.SitePort, std::to_string(ftp.Port()));
        CopyBounded(settings_.SiteUsername, ftp.User());
        CopyBounded(settings_.SitePassword, ftp.Password());
        Use();
    }
    std::size_t Count(const std::string& line) {
        const auto lines = view_->StepLines();
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
    }

    std::shared_ptr<FakeView> view_ = std::make_shared<FakeView>();
    Settings settings_;
    std::shared_ptr<CPostingCycle> cycle_;
    std::vector<std::pair<bool, bool>> requests_;
    std::wstring logFilePath_; // no log file unless a test names one
    std::string workDir_;
    std::string templatePath_;
};

// --- The log ---------------------------------------------------------------------------------

TEST_F(PostingCycleTest, AppendsAreStampedLinesInCallOrder) {
    cycle_->AppendLog("one");
    cycle_->AppendLog("two");
    cycle_->AppendLog("three");
    EXPECT_EQ(view_->Read(&FakeView::log_),
              "09:05:07 PM - one\r\n09:05:07 PM - two\r\n09:05:07 PM - three\r\n");
}

TEST_F(PostingCycleTest, AppendsFromTwoThreadsStayWholeAndInEachThreadsOrder) {
    auto writer = [this](char name) {
        for (int i = 0; i < 200; ++i)
            cycle_->AppendLog(std::string(1, name) + std::to_string(i));
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    a.join();
    b.join();
    const auto lines = view_->Lines();
    ASSERT_EQ(lines.size(), 400u);
    int nextA = 0, nextB = 0;
    for (const std::string& line : lines) {
        ASSERT_TRUE(line[0] == 'a' || line[0] == 'b') << line;
        int& next = line[0] == 'a' ? nextA : nextB;
        EXPECT_EQ(line.substr(1), std::to_string(next++));
    }
}

TEST_F(PostingCycleTest, NothingIsLoggedOnceStopped) {
    view_->Close();
    cycle_->Stop();
    cycle_->AppendLog("late");
    cycle_->OnAddressDetected("10.0.0.9", "", false);
    EXPECT_EQ(view_->Read(&FakeView::log_), "");
    EXPECT_EQ(view_->Read(&FakeView::address_), "");
}

// --- The log file -----------------------------------------------------------------------------

class PostingCycleLogFileTest : public PostingCycleTest {
protected:
    void SetUp() override {
        PostingCycleTest::SetUp();
        folder_ = test::ForeignTempFolder(L"cycle-log");
        logFilePath_ = folder_ + L"Tovra.log";
        Build(30000);
    }
    void TearDown() override {
        PostingCycleTest::TearDown();
        ::DeleteFileW(logFilePath_.c_str());
        ::RemoveDirectoryW(folder_.c_str());
    }
    std::wstring folder_;
};

TEST_F(PostingCycleLogFileTest, RunsAppendDatedLinesWithoutPasswords) {
    CopyBounded(settings_.SitePassword, "s3cret");
    Use();
    cycle_->AppendLog("530 'PASS s3cret' refused");
    Build(30000); // a second run
    cycle_->AppendLog("two");
    EXPECT_EQ(view_->Lines(), (std::vector<std::string>{"530 'PASS ********' refused", "two"}));
    EXPECT_EQ(test::ReadWholeFile(logFilePath_), "1970-01-01 09:05:07 PM - Tovra 2.0 (build 7) started\r\n"
                                                 "1970-01-01 09:05:07 PM - 530 'PASS ********' refused\r\n"
                                                 "1970-01-01 09:05:07 PM - Tovra ended\r\n"
                                                 "1970-01-01 09:05:07 PM - Tovra 2.0 (build 7) started\r\n"
                                                 "1970-01-01 09:05:07 PM - two\r\n");
}

TEST_F(PostingCycleLogFileTest, ALockedFileIsReportedOnceAndTheLogGoesOn) {
    {
        const UniqueFileHandle locked(
            ::CreateFileW(logFilePath_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(locked);
        for (const char* line : {"one", "two", "three"})
            cycle_->AppendLog(line);
    }
    cycle_->AppendLog("four");
    std::vector<std::string> lines = view_->Lines();
    ASSERT_EQ(lines.size(), 5u);
    // Right after the first line that did not reach the file.
    EXPECT_EQ(lines[1].rfind("Cannot write the log file ", 0), 0u) << lines[1];
    lines.erase(lines.begin() + 1);
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three", "four"}));
    const std::string file = test::ReadWholeFile(logFilePath_);
    EXPECT_EQ(file.substr(file.find("PM - four")), "PM - four\r\n") << "written again once released";
}

// --- Triggers --------------------------------------------------------------------------------

// The stored mode until a Local or Web button chooses another.
TEST_F(PostingCycleTest, TickLogsTheCheckAndAsksInTheModeLastChosen) {
    settings_.GetWebAddress = true;
    Store("10.0.0.1");
    EXPECT_EQ(cycle_->HandleIntervalTick(), 0);
    cycle_->CheckAddressOnly(false);
    cycle_->CheckAndPost();
    EXPECT_EQ(view_->Lines(), (std::vector<std::string>{"Checking IP Address...", "Checking IP Address..."}));
    EXPECT_EQ(requests_, (std::vector<std::pair<bool, bool>>{{true, false}, {false, true}, {false, false}}));
}

// Early ticks say why they check. A check that may post and fails (no address, or no upload: here
// the missing site address) asks for one retry; a display-only one, a successful one and the
// retry itself ask for none.
TEST_F(PostingCycleTest, EarlyTicksSayWhyAndAFailedCheckIsRetriedOnce) {
    std::vector<CheckReason> scheduled;
    cycle_->Start([](bool, bool) {}, [&](CheckReason reason) { scheduled.push_back(reason); });
    cycle_->HandleIntervalTick(static_cast<WPARAM>(CheckReason::ResumedFromSleep));
    cycle_->HandleIntervalTick(static_cast<WPARAM>(CheckReason::NetworkChanged));
    cycle_->OnAddressDetected("", "", true);
    Store("10.0.0.1");
    cycle_->OnAddressDetected("10.0.0.1", "", false);
    EXPECT_TRUE(scheduled.empty());

    cycle_->OnAddressDetected("", "", false);
    cycle_->OnAddressDetected("10.0.0.2", "", false);
    EXPECT_EQ(scheduled, std::vector<CheckReason>(2, CheckReason::Retry));
    cycle_->HandleIntervalTick(static_cast<WPARAM>(CheckReason::Retry));
    cycle_->OnAddressDetected("", "", false);
    EXPECT_EQ(scheduled.size(), 2u);

    const std::vector<std::string> lines = view_->Lines();
    const std::vector<std::string> firstLines(lines.begin(), lines.begin() + 4);
    EXPECT_EQ(firstLines,
              (std::vector<std::string>{std::string(kResumedLine), "Checking IP Address...",
                                        std::string(kNetworkChangedLine), "Checking IP Address..."}));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string(kRetryLine)), 1);
    // The tray keeps its balloon for the failure that no retry follows.
    EXPECT_EQ(view_->retriesFollow_, (std::vector<bool>{true, true, false}));
}

// --- The decision (no site address: a post that starts ends at validation) -------------------

TEST_F(PostingCycleTest, UnchangedAddressWithoutForceLogsOneLineAndPostsNothing) {
    Store("10.0.0.1");
    cycle_->OnAddressDetected("10.0.0.1", "", false);
    EXPECT_EQ(view_->Lines(), std::vector<std::string>{std::string(kUnchangedLine)});
    EXPECT_EQ(view_->detailsShown_, 0);
    EXPECT_EQ(view_->results_, std::vector<std::string>{"posted"}) << "the page on the server is current";
}

TEST_F(PostingCycleTest, ChangedOrForcedAddressStartsAPost) {
    Store("10.0.0.1");
    cycle_->OnAddressDetected("10.0.0.2", "", false);
    settings_.ForcePost = true;
    Use();
    cycle_->OnAddressDetected("10.0.0.2", "", false);
    EXPECT_EQ(view_->Lines(), std::vector<std::string>(2, std::string(kInvalidSiteAddressLine)));
    EXPECT_EQ(view_->detailsShown_, 2);
    EXPECT_EQ(view_->address_, "10.0.0.2");
}

TEST_F(PostingCycleTest, AChangeOfTheIpv6AddressAlonePosts) {
    Store("10.0.0.1", "2001:db8::1");
    cycle_->OnAddressDetected("10.0.0.1", "2001:db8::1", false);
    cycle_->OnAddressDetected("10.0.0.1", "2001:db8::2", false);
    EXPECT_EQ(view_->Lines(),
              (std::vector<std::string>{std::string(kUnchangedLine), std::string(kInvalidSiteAddressLine)}));
    EXPECT_EQ(view_->ipv6_, "2001:db8::2");
}

TEST_F(PostingCycleTest, DisplayOnlyShowsButNeverPosts) {
    settings_.ForcePost = true;
    Use();
    cycle_->OnAddressDetected("10.0.0.3", "", true);
    cycle_->OnAddressDetected("", "", true);
    EXPECT_EQ(view_->Lines(), std::vector<std::string>{std::string(kNothingDetectedLine)});
    EXPECT_TRUE(view_->results_.empty()) << "a display-only check says nothing about the posting";
    EXPECT_EQ(view_->address_, "10.0.0.3");
}

TEST_F(PostingCycleTest, EmptyDetectionKeepsTheAddressAndPostsNothing) {
    settings_.ForcePost = true;
    Store("10.0.0.4");
    cycle_->OnAddressDetected("", "", false);
    EXPECT_EQ(view_->Lines(), std::vector<std::string>{std::string(kNothingDetectedLine)});
    EXPECT_EQ(view_->results_, std::vector<std::string>{std::string(kNothingDetectedLine)});
    EXPECT_EQ(view_->address_, "10.0.0.4");
}

// --- Validation ------------------------------------------------------------------------------

TEST_F(PostingCycleTest, RefusedSettingsAreReportedWithTheirLineAndFocus) {
    struct Case {
        const char* site;
        const char* port;
        std::string_view line;
        RefusedSetting focus;
    };
    const Case cases[] = {
        {"", "21", kInvalidSiteAddressLine, RefusedSetting::SiteAddress},
        {"", "", kInvalidSiteAddressLine, RefusedSetting::SiteAddress},
        {"ftp.example.org", "", kInvalidPortLine, RefusedSetting::SitePort},
        {"ftp.example.org", "70000", kInvalidPortLine, RefusedSetting::SitePort},
    };
    settings_.ForcePost = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.site) + ":" + c.port);
        view_->log_.clear();
        view_->focus_.reset();
        CopyBounded(settings_.SiteAddress, c.site);
        CopyBounded(settings_.SitePort, c.port);
        Use();
        cycle_->OnAddressDetected("10.0.0.5", "", false);
        EXPECT_EQ(view_->Lines(), std::vector<std::string>{std::string(c.line)});
        EXPECT_EQ(view_->focus_, c.focus);
        EXPECT_EQ(view_->results_.back(), c.line);
    }
}

// --- Posting against the FTP server -----------------------------------------------------------

TEST_F(PostingCycleTest, DirectoryPathIsCompletedWithTheTemplatesNameAndUploaded) {
    FtpTestServer ftp;
    ftp.MakeDirectory("pub");
    UseServer(ftp);
    CopyBounded(settings_.SiteRemotePath, "/pub/");
    Use();
    cycle_->OnAddressDetected("203.0.113.7", "", false);

    const std::vector<std::string> expected = {
        "No filename specified in Remote path, automatically adding local filename of Tovra.html",
        "Connecting to 127.0.0.1...",
        "Setting remote directory...",
        "Generating Template file...",
        "Uploading file...",
        "File uploaded successfully!"};
    EXPECT_EQ(view_->StepLines(), expected);
    EXPECT_EQ(ftp.ReadFile("pub/Tovra.html"), "IP 203.0.113.7");
}

TEST_F(PostingCycleTest, FailedUploadIsRepeatedByTheNextCheckUntilOneSucceeds) {
    FtpTestServer ftp;
    UseServer(ftp);
    ftp.SetFault(FtpFault::StoreRefused);
    cycle_->OnAddressDetected("203.0.113.8", "", false);
    cycle_->OnAddressDetected("203.0.113.8", "", false); // unchanged, but the page is stale
    EXPECT_EQ(Count("Connecting to 127.0.0.1..."), 2u);
    EXPECT_EQ(Count("File uploaded successfully!"), 0u);

    ftp.SetFault(FtpFault::None);
    cycle_->OnAddressDetected("203.0.113.8", "", false);
    EXPECT_EQ(Count("File uploaded successfully!"), 1u);
    cycle_->OnAddressDetected("203.0.113.8", "", false);
    EXPECT_EQ(Count("Connecting to 127.0.0.1..."), 3u);
    EXPECT_EQ(view_->StepLines().back(), kUnchangedLine);
    EXPECT_EQ(ftp.ReadFile("ip.html"), "IP 203.0.113.8");

    // Each failure ends with the upload's last own line, never a status line of the session.
    const std::vector<std::string> results = view_->Read(&FakeView::results_);
    ASSERT_EQ(results.size(), 4u);
    for (int i : {0, 1}) {
        EXPECT_EQ(results[i].rfind("The upload failed: ", 0), 0u) << results[i];
        EXPECT_EQ(results[i].find("The upload failed: ["), std::string::npos) << results[i];
    }
    EXPECT_EQ(results[2], "posted");
    EXPECT_EQ(results[3], "posted");
}

// "Post IP now" goes to the worker's queue; the worker posts the address it holds, and a stop
// wakes it out of a server that never answers.
TEST_F(PostingCycleTest, TheButtonsPostIsQueuedForTheWorkerAndStopEndsItsWait) {
    FtpTestServer answering;
    UseServer(answering);
    Store("203.0.113.9");
    int pressed = 0;
    cycle_->Start([](bool, bool) {}, {}, [&] { ++pressed; });
    cycle_->PostNow();
    EXPECT_EQ(pressed, 1);
    cycle_->PostStoredAddress();
    EXPECT_EQ(answering.ReadFile("ip.html"), "IP 203.0.113.9");

    FtpTestServer hanging;
    hanging.SetFault(FtpFault::Hang);
    UseServer(hanging);
    std::thread worker([&] { cycle_->PostStoredAddress(); });
    ASSERT_TRUE(
        WaitUntil([&] { return Count("Connecting to 127.0.0.1...") == 2; }, std::chrono::seconds(20)));
    const auto start = SteadyClock::now();
    view_->Close();
    cycle_->Stop();
    worker.join();
    // Well inside the upload's own bound: the wait was woken, not waited out.
    EXPECT_LT(SteadyClock::now() - start, std::chrono::milliseconds(1800));
}

// From a real checker's detection through the echo proxy to the page on the FTP server.
TEST_F(PostingCycleTest, DetectionThroughARealCheckerEndsInTheUploadedPage) {
    FtpTestServer ftp;
    UseServer(ftp);
    test::EchoProxyServer echo;
    echo.UseAsProxyForThisProcess();
    const std::vector<IpSite> sites = {{"echo.test", "/myip.html"}};
    echo.Answer("echo.test", 200, "Your address: 198.51.100.23");
    settings_.IpSites = sites;
    Use();

    auto checker = std::make_shared<CIpAddressChecker>(cycle_, sites, CIpAddressChecker::kLookupDeadlineMs,
                                                       [] { return std::string(); });
    cycle_->Start([checker](bool useWeb, bool displayOnly) { checker->RequestCheck(useWeb, displayOnly); });
    cycle_->CheckAndPost();
    ASSERT_TRUE(checker->Start());
    ASSERT_TRUE(
        WaitUntil([&] { return Count("File uploaded successfully!") == 1; }, std::chrono::seconds(20)));
    EXPECT_TRUE(checker->Stop(5000));

    const auto steps = view_->StepLines();
    const std::vector<std::string> expected = {"Checking IP Address...",
                                               "Asking echo.test/myip.html for my IP Address...",
                                               "echo.test/myip.html insists that I am 198.51.100.23",
                                               "Connecting to 127.0.0.1...",
                                               "Setting remote directory...",
                                               "Generating Template file...",
                                               "Uploading file...",
                                               "File uploaded successfully!"};
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(ftp.ReadFile("ip.html"), "IP 198.51.100.23");
    EXPECT_EQ(view_->Read(&FakeView::address_), "198.51.100.23");
}

// --- In a network of its own (ipv6-netns.sh) ------------------------------------------------------

// Runs a shell command line outside Wine. Its process cannot be waited for under Wine, so callers
// wait for its effect instead.
void RunUnixCommand(const std::string& commandLine) {
    std::string command = "Z:\\bin\\sh -c \"" + commandLine + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &process));
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
}

// v0 carries 192.0.2.10 and 2001:db8:2::7: a real local check finds both, and the page holds them.
class PostingCycleNetworkTest : public PostingCycleTest {
protected:
    void SetUp() override {
        if (std::getenv("TOVRA_IPV6_NETWORK") == nullptr)
            GTEST_SKIP() << "needs the network of ipv6-netns.sh";
        PostingCycleTest::SetUp();
    }
};

TEST_F(PostingCycleNetworkTest, TheIpv6AddressIsPublishedAndOnlyAChangePostsAgain) {
    FtpTestServer ftp;
    // The checks after the first come through the cycle, in the mode the settings choose.
    settings_.GetWebAddress = false;
    UseServer(ftp);
    std::ofstream(templatePath_, std::ios::binary | std::ios::trunc) << "<IPAddress> [<IPv6Address>]";
    auto checker = std::make_shared<CIpAddressChecker>(cycle_, std::vector<IpSite>{});
    cycle_->Start([checker](bool useWeb, bool displayOnly) { checker->RequestCheck(useWeb, displayOnly); });
    checker->RequestCheck(false, false);
    ASSERT_TRUE(checker->Start());
    const std::string uploaded = "File uploaded successfully!";
    ASSERT_TRUE(WaitUntil([&] { return Count(uploaded) == 1; }, std::chrono::seconds(20)));
    EXPECT_EQ(ftp.ReadFile("ip.html"), "192.0.2.10 [2001:db8:2::7]");
    EXPECT_EQ(Count("Found IPv6 Address of 2001:db8:2::7"), 1u);

    cycle_->CheckAndPost();
    ASSERT_TRUE(WaitUntil([&] { return Count(std::string(kUnchangedLine)) == 1; }, std::chrono::seconds(20)))
        << view_->Read(&FakeView::log_);
    EXPECT_EQ(Count(uploaded), 1u) << "the same two addresses post nothing";

    RunUnixCommand("ip -6 addr del 2001:db8:2::7/64 dev v0 && ip -6 addr add 2001:db8:2::8/64 dev v0 nodad");
    ASSERT_TRUE(WaitUntil([] { return FindIpv6Address() == "2001:db8:2::8"; }, std::chrono::seconds(10)));
    cycle_->CheckAndPost();
    ASSERT_TRUE(WaitUntil([&] { return Count(uploaded) == 2; }, std::chrono::seconds(20)));
    EXPECT_EQ(ftp.ReadFile("ip.html"), "192.0.2.10 [2001:db8:2::8]");
    EXPECT_EQ(view_->Read(&FakeView::ipv6_), "2001:db8:2::8");
    EXPECT_TRUE(checker->Stop(5000));
}

} // namespace
} // namespace tovra
