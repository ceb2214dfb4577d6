// The FTP side of the internet classes, through Wine's real WinINet, against a real FTP server on
// loopback with switchable faults.

#include "framework/FtpConnection.h"
#include "framework/Win32Handles.h"
#include "framework/WideText.h"
#include "tests/support/FtpTestServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <optional>
#include <vector>

namespace tovra {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::FtpFault;

// A page in the temporary folder, removed at the end of the test.
class LocalFile {
public:
    explicit LocalFile(const std::string& content) {
        char folder[MAX_PATH];
        char name[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        GetTempFileNameA(folder, "tov", 0, name);
        path_ = name;
        std::ofstream(path_, std::ios::binary) << content;
    }
    ~LocalFile() { DeleteFileA(path_.c_str()); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

class FtpTest : public ::testing::Test {
protected:
    FtpConnection Connect(InternetSession& session, bool passive = true) {
        return FtpConnection(session, "127.0.0.1", ftp.User(), ftp.Password(), ftp.Port(), passive);
    }

    // Runs `step` and returns the InternetError it throws (fails the test when it throws none).
    template <typename Step> static InternetError ErrorOf(Step step) {
        try {
            step();
        } catch (const InternetError& error) {
            return error;
        }
        ADD_FAILURE() << "no InternetError";
        return InternetError(0, {});
    }

    test::FtpTestServer ftp;
    LocalFile page{"<p>84.12.3.7</p>\r\n<p>second line</p>\r\n"};
};

TEST_F(FtpTest, StoresInPassiveAndActiveModeIntoTheChosenDirectory) {
    ftp.MakeDirectory("htdocs");
    for (bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        const std::string name = passive ? "passive.html" : "active.html";
        InternetSession session("Tovra");
        session.SetStepTimeout(10s);
        FtpConnection connection = Connect(session, passive);
        connection.SetCurrentDirectory("/htdocs/");
        connection.PutFile(WidenAnsi(page.Path()), name);
        // An ASCII store: the server keeps lines in its own (Unix) form.
        EXPECT_EQ(ftp.ReadFile("htdocs/" + name), "<p>84.12.3.7</p>\n<p>second line</p>\n");
    }
}

TEST_F(FtpTest, NotificationsOfAnUploadArriveInOrderOnTheCallingThread) {
    struct Seen {
        DWORD status;
        std::string text;
        DWORD thread;
    };
    std::vector<Seen> seen;
    {
        InternetSession session("Tovra");
        session.SetStatusHandler([&](DWORD status, const void* info, DWORD) {
            const bool isName =
                status == INTERNET_STATUS_RESOLVING_NAME || status == INTERNET_STATUS_NAME_RESOLVED;
            seen.push_back({status, isName ? static_cast<const char*>(info) : "", GetCurrentThreadId()});
        });
        session.SetStepTimeout(10s);
        FtpConnection connection = Connect(session);
        connection.PutFile(WidenAnsi(page.Path()), "ip.html");
    }
    const auto position = [&](DWORD status) {
        return std::find_if(seen.begin(), seen.end(), [&](const Seen& s) { return s.status == status; }) -
               seen.begin();
    };
    const auto count = static_cast<std::ptrdiff_t>(seen.size());
    ASSERT_LT(position(INTERNET_STATUS_NAME_RESOLVED), count);
    EXPECT_EQ(seen[position(INTERNET_STATUS_NAME_RESOLVED)].text, "127.0.0.1");
    EXPECT_LT(position(INTERNET_STATUS_RESOLVING_NAME), position(INTERNET_STATUS_NAME_RESOLVED));
    EXPECT_LT(position(INTERNET_STATUS_NAME_RESOLVED), position(INTERNET_STATUS_CONNECTED_TO_SERVER));
    EXPECT_LT(position(INTERNET_STATUS_CONNECTED_TO_SERVER), position(INTERNET_STATUS_RESPONSE_RECEIVED));
    EXPECT_LT(position(INTERNET_STATUS_HANDLE_CLOSING), count);
    for (const Seen& s : seen)
        EXPECT_EQ(s.thread, GetCurrentThreadId()) << "status " << s.status;
}

TEST_F(FtpTest, EachServerRefusalIsAnErrorCarryingTheServersReply) {
    ftp.SetFault(FtpFault::LoginRefused);
    {
        InternetSession session("Tovra");
        const InternetError error = ErrorOf([&] { Connect(session); });
        EXPECT_EQ(error.Text(), "530 Login refused by the test.");
    }
    ftp.SetFault(FtpFault::DirectoryRefused);
    {
        InternetSession session("Tovra");
        FtpConnection connection = Connect(session);
        const InternetError error = ErrorOf([&] { connection.SetCurrentDirectory("/htdocs/"); });
        EXPECT_EQ(error.Text(), "550 Directory change refused by the test.");
    }
    ftp.SetFault(FtpFault::StoreRefused);
    {
        InternetSession session("Tovra");
        FtpConnection connection = Connect(session);
        const InternetError error = ErrorOf([&] { connection.PutFile(WidenAnsi(page.Path()), "ip.html"); });
        EXPECT_EQ(error.Text(), "553 Store refused by the test.");
        EXPECT_FALSE(ftp.FileExists("ip.html"));
    }
}

TEST_F(FtpTest, ConnectionDroppedDuringTheStoreIsAFailure) {
    LocalFile big(std::string(2000000, 'x'));
    InternetSession session("Tovra");
    session.SetStepTimeout(10s);
    FtpConnection connection = Connect(session);
    ftp.SetFault(FtpFault::DropDuringTransfer);
    const InternetError error = ErrorOf([&] { connection.PutFile(WidenAnsi(big.Path()), "ip.html"); });
    EXPECT_NE(error.Code(), 0u);
    // Wine's reply at that point is a stale "125 ... Transfer starting.", which explains nothing.
    if (error.HasText()) {
        EXPECT_NE(error.Text().substr(0, 1), "1");
    }
}

TEST_F(FtpTest, ServerGoneIsAnErrorWithText) {
    ftp.Stop();
    InternetSession session("Tovra");
    const InternetError error = ErrorOf([&] { Connect(session); });
    EXPECT_EQ(error.Code(), static_cast<DWORD>(ERROR_INTERNET_CANNOT_CONNECT));
    EXPECT_TRUE(error.HasText());
}

TEST_F(FtpTest, EveryHangingStepIsEndedByTheStepTimeout) {
    for (FtpFault fault : {FtpFault::Hang, FtpFault::HangOnDirectory, FtpFault::HangOnStore}) {
        SCOPED_TRACE(static_cast<int>(fault));
        ftp.SetFault(FtpFault::None);
        InternetSession session("Tovra");
        session.SetStepTimeout(1s);
        std::optional<FtpConnection> connection;
        if (fault != FtpFault::Hang)
            connection.emplace(Connect(session));
        ftp.SetFault(fault);
        const auto start = Clock::now();
        const InternetError error = ErrorOf([&] {
            if (fault == FtpFault::Hang)
                Connect(session);
            else if (fault == FtpFault::HangOnDirectory)
                connection->SetCurrentDirectory("/");
            else
                connection->PutFile(WidenAnsi(page.Path()), "ip.html");
        });
        EXPECT_EQ(error.Code(), static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
        EXPECT_TRUE(error.HasText());
        EXPECT_LT(Clock::now() - start, 3s);
    }
}

TEST_F(FtpTest, StopEventCancelsAStoreThatHangsAtOnce) {
    UniqueKernelHandle stop(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    InternetSession session("Tovra");
    session.SetStopEvent(stop.get());
    session.SetStepTimeout(30s);
    bool storing = false;
    Clock::time_point stoppedAt = Clock::time_point::max();
    // Stop at the first news from the store step: it is under way then, and the server will
    // never answer its STOR.
    session.SetStatusHandler([&](DWORD, const void*, DWORD) {
        if (storing && stoppedAt == Clock::time_point::max()) {
            stoppedAt = Clock::now();
            SetEvent(stop.get());
        }
    });
    FtpConnection connection = Connect(session);
    ftp.SetFault(FtpFault::HangOnStore);
    storing = true;
    const InternetError error = ErrorOf([&] { connection.PutFile(WidenAnsi(page.Path()), "ip.html"); });
    EXPECT_EQ(error.Code(), static_cast<DWORD>(ERROR_INTERNET_OPERATION_CANCELLED));
    ASSERT_NE(stoppedAt, Clock::time_point::max());
    EXPECT_LT(Clock::now() - stoppedAt, 500ms);
}

// Closing the session under a running connect can crash Wine's WinINet or make it fail later
// handles that reuse the closed one's value; a stop at the first news of each of many connects
// meets every moment of a connect.
TEST_F(FtpTest, StopAtTheFirstNewsOfAConnectEndsItAtOnceAndSafely) {
    ftp.SetFault(FtpFault::Hang);
    for (int run = 0; run < 25; ++run) {
        UniqueKernelHandle stop(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        InternetSession session("Tovra");
        session.SetStopEvent(stop.get());
        session.SetStepTimeout(30s);
        session.SetStatusHandler([&](DWORD, const void*, DWORD) { SetEvent(stop.get()); });
        const auto start = Clock::now();
        const InternetError error = ErrorOf([&] { Connect(session); });
        EXPECT_EQ(error.Code(), static_cast<DWORD>(ERROR_INTERNET_OPERATION_CANCELLED));
        EXPECT_LT(Clock::now() - start, 1s);
    }
}

// After an abort WinINet reuses the freed handle values for new handles. The aborted session's
// objects must not close them when they go away, or they would close somebody else's handles.
TEST_F(FtpTest, ObjectsOfAnAbortedSessionNeverCloseHandlesReusedByAnotherSession) {
    std::optional<InternetSession> aborted(std::in_place, "Tovra");
    std::optional<FtpConnection> stale(Connect(*aborted));
    aborted->Abort();

    InternetSession session("Tovra");
    FtpConnection connection = Connect(session);
    stale.reset();
    aborted.reset();
    connection.PutFile(WidenAnsi(page.Path()), "after.html");
    EXPECT_TRUE(ftp.FileExists("after.html"));
}

TEST_F(FtpTest, SessionClosedBeforeItsConnectionLeavesNothingToCloseTwice) {
    std::optional<InternetSession> first(std::in_place, "Tovra");
    std::optional<FtpConnection> orphan(Connect(*first));
    first.reset();

    InternetSession session("Tovra");
    FtpConnection connection = Connect(session);
    orphan.reset();
    connection.PutFile(WidenAnsi(page.Path()), "after.html");
    EXPECT_TRUE(ftp.FileExists("after.html"));
}

} // namespace
} // namespace tovra
