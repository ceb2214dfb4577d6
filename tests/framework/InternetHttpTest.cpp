// The HTTP side of the internet classes, through Wine's real WinINet, against the fake echo
// sites of the loopback proxy.

#include "framework/HttpRequest.h"
#include "framework/Win32Handles.h"
#include "tests/support/EchoProxyServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

namespace tovra {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class HttpTest : public ::testing::Test {
protected:
    HttpTest() { echo.UseAsProxyForThisProcess(); }

    // Sends GET host/path and returns the request for inspection.
    static HttpRequest Get(HttpConnection& connection, const std::string& path) {
        HttpRequest request(connection, path);
        request.Send();
        return request;
    }

    test::EchoProxyServer echo;
};

TEST_F(HttpTest, GetReachesTheEchoHostThroughTheProxyWithOurAgent) {
    echo.Answer("api.ipify.org", 200, "84.12.3.7");
    InternetSession session("Tovra");
    HttpConnection connection(session, "api.ipify.org");
    HttpRequest request = Get(connection, "/ip");

    EXPECT_EQ(request.StatusCode(), 200u);
    EXPECT_EQ(request.Read(6138), "84.12.3.7");
    const auto asked = echo.Requests();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].requestLine, "GET http://api.ipify.org:80/ip HTTP/1.1");
    EXPECT_EQ(asked[0].host, "api.ipify.org");
    EXPECT_EQ(asked[0].userAgent, "Tovra");
}

TEST_F(HttpTest, ReadGathersSeveralReadsAndStopsAtTheLimitOrTheEnd) {
    std::string body;
    for (int i = 0; body.size() < 150000; ++i)
        body += "line " + std::to_string(i) + "\n";
    echo.Answer("big.example", 200, body);
    InternetSession session("Tovra");
    session.SetStepTimeout(10s);
    HttpConnection connection(session, "big.example");

    HttpRequest whole = Get(connection, "/");
    EXPECT_EQ(whole.Read(body.size() + 1000), body);
    HttpRequest start = Get(connection, "/");
    EXPECT_EQ(start.Read(6138), body.substr(0, 6138));
}

TEST_F(HttpTest, NotFoundIsAnAnswerWithItsStatus) {
    echo.Answer("gone.example", 404, "1.2.3.4");
    InternetSession session("Tovra");
    HttpConnection connection(session, "gone.example");
    EXPECT_EQ(Get(connection, "/").StatusCode(), 404u);
}

TEST_F(HttpTest, DroppedConnectionNeverLooksLikeAnAnswer) {
    echo.Drop("drop.example");
    InternetSession session("Tovra");
    session.SetStepTimeout(5s);
    HttpConnection connection(session, "drop.example");
    HttpRequest request(connection, "/");
    DWORD status = 0;
    try {
        request.Send();
        status = request.StatusCode();
    } catch (const InternetError&) {
    }
    // Wine reports the send as done and the reply as having no status line.
    EXPECT_EQ(status, 0u);
}

TEST_F(HttpTest, UnresolvableHostFailsWithCodeAndText) {
    echo.SetNoProxy("nowhere.invalid");
    InternetSession session("Tovra");
    HttpConnection connection(session, "nowhere.invalid");
    HttpRequest request(connection, "/");
    try {
        request.Send();
        FAIL() << "the send succeeded";
    } catch (const InternetError& error) {
        EXPECT_EQ(error.Code(), static_cast<DWORD>(ERROR_INTERNET_NAME_NOT_RESOLVED));
        EXPECT_TRUE(error.HasText());
        EXPECT_EQ(error.Text().find_first_of("\r\n"), std::string::npos);
    }
}

TEST_F(HttpTest, HangingSiteIsEndedByTheDeadlineAndSaysNothingMore) {
    echo.Hang("hang.example");
    int notifications = 0;
    std::optional<int> atTimeout;
    {
        InternetSession session("Tovra");
        session.SetStatusHandler([&](DWORD, const void*, DWORD) { ++notifications; });
        session.SetStepTimeout(30s);
        session.SetDeadline(Clock::now() + 1s);
        HttpConnection connection(session, "hang.example");
        HttpRequest request(connection, "/");
        const auto start = Clock::now();
        try {
            request.Send();
            FAIL() << "the send succeeded";
        } catch (const InternetError& error) {
            EXPECT_EQ(error.Code(), static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
            EXPECT_TRUE(error.HasText());
        }
        atTimeout = notifications;
        EXPECT_LT(Clock::now() - start, 3s);
        EXPECT_TRUE(session.Aborted());
    }
    // The aborted handles are not closed again, so no closing news reaches a caller that may be
    // going away.
    EXPECT_GT(*atTimeout, 0);
    EXPECT_EQ(notifications, *atTimeout);
}

TEST_F(HttpTest, BodyThatStopsHalfwayIsEndedByTheStepTimeout) {
    echo.HangAfterHeaders("slow.example", "84.12");
    InternetSession session("Tovra");
    session.SetStepTimeout(1s);
    HttpConnection connection(session, "slow.example");
    HttpRequest request = Get(connection, "/");
    const auto start = Clock::now();
    EXPECT_THROW(request.Read(6138), InternetError);
    EXPECT_LT(Clock::now() - start, 3s);
}

TEST_F(HttpTest, StopEventCancelsABlockedSendAtOnceAndLaterStepsFail) {
    echo.Hang("hang.example");
    UniqueKernelHandle stop(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    InternetSession session("Tovra");
    session.SetStopEvent(stop.get());
    session.SetStepTimeout(30s);
    HttpConnection connection(session, "hang.example");
    HttpRequest request(connection, "/");

    std::atomic<Clock::time_point> stoppedAt{Clock::time_point::max()};
    std::thread stopper([&] {
        // Stop only once the request is known to hang at the server.
        const auto deadline = Clock::now() + 10s;
        while (echo.Requests().empty() && Clock::now() < deadline)
            WaitForSingleObject(stop.get(), 10);
        stoppedAt = Clock::now();
        SetEvent(stop.get());
    });
    try {
        request.Send();
        ADD_FAILURE() << "the send succeeded";
    } catch (const InternetError& error) {
        EXPECT_EQ(error.Code(), static_cast<DWORD>(ERROR_INTERNET_OPERATION_CANCELLED));
    }
    const auto returnedAt = Clock::now();
    stopper.join();
    EXPECT_LT(returnedAt - stoppedAt.load(), 500ms);
    EXPECT_THROW(request.Read(10), InternetError);
    EXPECT_THROW(HttpRequest(connection, "/"), InternetError);
}

TEST_F(HttpTest, NotificationsArriveOnTheCallingThreadInBothModes) {
    echo.Answer("api.ipify.org", 200, "84.12.3.7");
    const DWORD caller = GetCurrentThreadId();
    for (bool bounded : {false, true}) {
        SCOPED_TRACE(bounded ? "bounded" : "unbounded");
        std::vector<DWORD> statuses;
        bool otherThread = false;
        {
            InternetSession session("Tovra");
            session.SetStatusHandler([&](DWORD status, const void*, DWORD) {
                statuses.push_back(status);
                otherThread |= GetCurrentThreadId() != caller;
            });
            if (bounded)
                session.SetStepTimeout(10s);
            HttpConnection connection(session, "api.ipify.org");
            HttpRequest request = Get(connection, "/");
            EXPECT_EQ(request.Read(100), "84.12.3.7");
        }
        EXPECT_FALSE(otherThread);
        for (DWORD expected : {INTERNET_STATUS_SENDING_REQUEST, INTERNET_STATUS_REQUEST_SENT,
                               INTERNET_STATUS_RECEIVING_RESPONSE, INTERNET_STATUS_RESPONSE_RECEIVED,
                               INTERNET_STATUS_HANDLE_CLOSING})
            EXPECT_NE(std::find(statuses.begin(), statuses.end(), expected), statuses.end()) << expected;
    }
}

std::atomic<DWORD> servedOn{0};

LRESULT CALLBACK RecordingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        servedOn = GetCurrentThreadId();
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A window thread that waits for the network must still serve the threads that send to it, or a
// worker sending it a log line while it waits would deadlock both.
TEST_F(HttpTest, CallerWaitingForAStepStillAnswersMessagesSentFromOtherThreads) {
    echo.Hang("hang.example");
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &RecordingWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "TovraInternetTestWindow";
    RegisterClassA(&windowClass);
    UniqueWindow window(CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                        nullptr, windowClass.hInstance, nullptr));
    ASSERT_TRUE(window);

    UniqueKernelHandle stop(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    InternetSession session("Tovra");
    session.SetStopEvent(stop.get());
    session.SetStepTimeout(10s);
    HttpConnection connection(session, "hang.example");
    HttpRequest request(connection, "/");

    DWORD_PTR answer = 0;
    LRESULT sent = 0;
    std::thread sender([&] {
        const auto deadline = Clock::now() + 10s;
        while (echo.Requests().empty() && Clock::now() < deadline)
            WaitForSingleObject(stop.get(), 10);
        sent = SendMessageTimeoutA(window.get(), WM_APP, 0, 0, SMTO_NORMAL, 5000, &answer);
        SetEvent(stop.get());
    });
    EXPECT_THROW(request.Send(), InternetError);
    sender.join();
    EXPECT_NE(sent, 0);
    EXPECT_EQ(answer, 1u);
    EXPECT_EQ(servedOn.load(), GetCurrentThreadId());
}

} // namespace
} // namespace tovra
