// The exchange's waiting, its gate and its busy list, with bodies that stand in for WinINet calls
// that take their time or never return.

#include "framework/InternetExchange.h"
#include "tests/support/WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tovra {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Outcome = InternetExchange::Outcome;

class InternetExchangeTest : public ::testing::Test {
protected:
    // Lets the hanging body go on: walked away from, it may neither log nor start a step.
    void ReleaseAndExpectSilence() {
        SetEvent(release_.get());
        ASSERT_TRUE(test::WaitUntil([&] { return ended_.load(); }, 5s));
        EXPECT_FALSE(laterStepAllowed_);
        EXPECT_EQ(Lines(), std::vector<std::string>{"asking"});
    }
    // A body that logs, then blocks as a silent server would until `release_`, then tries to go on.
    InternetExchange::Body Hanging() {
        return [this](InternetExchange& exchange) {
            exchange.Log("asking");
            WaitForSingleObject(release_.get(), INFINITE);
            exchange.Log("late");
            laterStepAllowed_ = exchange.BeginStep(1000);
            ended_ = true;
        };
    }
    InternetExchange::LineSink Sink() {
        return [this](std::string_view line) {
            std::lock_guard lock(mutex_);
            lines_.emplace_back(line);
        };
    }
    std::vector<std::string> Lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

    const UniqueKernelHandle stop_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    const UniqueKernelHandle release_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<bool> laterStepAllowed_{true};
    std::atomic<bool> ended_{false};
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

// Each step has its own bound: three steps that each stay inside it make a whole exchange longer
// than one bound.
TEST_F(InternetExchangeTest, EachStepRestartsTheBound) {
    const auto exchange = InternetExchange::Create("steps:1", [](InternetExchange& exchange) {
        for (int step = 0; step < 3 && exchange.BeginStep(1000); ++step)
            Sleep(400); // a step's work, well inside its bound
    });
    const auto start = Clock::now();
    EXPECT_EQ(exchange->Perform(stop_.get(), 1000), Outcome::Finished);
    EXPECT_GT(Clock::now() - start, 1100ms);
}

// At the bound the caller walks away at once and hears nothing more from the helper, which may
// start no further step; its server is refused at once until the helper has let go of it.
TEST_F(InternetExchangeTest, ATimeOutWalksAwayAndKeepsTheServerBusyUntilTheHelperEnds) {
    const auto start = Clock::now();
    EXPECT_EQ(InternetExchange::Create("silent:21", Hanging(), Sink())->Perform(stop_.get(), 300),
              Outcome::TimedOut);
    EXPECT_LT(Clock::now() - start, 1s);

    EXPECT_EQ(InternetExchange::Create("silent:21", [](InternetExchange&) {})->Perform(stop_.get(), 300),
              Outcome::ServerBusy);
    EXPECT_EQ(InternetExchange::Create("other:21", [](InternetExchange&) {})->Perform(stop_.get(), 5000),
              Outcome::Finished);

    ReleaseAndExpectSilence();
    EXPECT_TRUE(test::WaitUntil(
        [&] {
            return InternetExchange::Create("silent:21", [](InternetExchange&) {
                   })->Perform(stop_.get(), 5000) == Outcome::Finished;
        },
        5s));
}

// A stop ends the wait at once, silences the helper in the same way, and leaves the server free.
TEST_F(InternetExchangeTest, AStopWalksAwayAtOnceButLeavesTheServerFree) {
    const auto exchange = InternetExchange::Create("stopped:80", Hanging(), Sink());
    std::thread stopper([&] {
        test::WaitUntil([&] { return !Lines().empty(); }, 5s);
        SetEvent(stop_.get());
    });
    EXPECT_EQ(exchange->Perform(stop_.get(), 30000), Outcome::Stopped);
    stopper.join();
    ResetEvent(stop_.get());
    EXPECT_EQ(InternetExchange::Create("stopped:80", [](InternetExchange&) {})->Perform(stop_.get(), 5000),
              Outcome::Finished);

    ReleaseAndExpectSilence();
}

} // namespace
} // namespace tovra
