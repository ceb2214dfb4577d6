// The interval timer on a clock of the test's own, so that hours take milliseconds.
// Ticks go, as in the program, to a window of the test's own thread, which handles them while it
// waits.

#include "tray/TimeWait.h"

#include "tests/support/MessagePump.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

namespace tovra {
namespace {

using test::PumpUntil;

constexpr UINT kTick = WM_USER + 141;

struct Tick {
    unsigned second;
    WPARAM reason;
    LPARAM minutes;
    bool operator==(const Tick&) const = default;
};

// A timer on a clock of the test's own: each wait moves the clock straight to its deadline, so
// hours pass in a moment. At each gate (a second of that clock) it stops until the test releases
// it, so the test can act at a known time.
class FastTimeWait : public CTimeWait {
public:
    explicit FastTimeWait(EarlyCheckDelays delays = {}) : CTimeWait(delays) {}

    std::vector<unsigned> gates;          // set before Start
    std::atomic<unsigned> reachedGate{0}; // the gate it waits at
    HANDLE release = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);

    ~FastTimeWait() override { ::CloseHandle(release); }

    unsigned Seconds() const { return static_cast<unsigned>(nowMs_ / 1000); }

protected:
    ULONGLONG Now() const override { return nowMs_; }
    Wake WaitUntil(ULONGLONG deadline) override {
        for (unsigned gate : gates) {
            const ULONGLONG at = gate * 1000ULL;
            if (at > nowMs_ && at <= deadline) {
                nowMs_ = at;
                reachedGate = gate;
                HANDLE handles[] = {release, StopEvent()};
                ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
                return StopRequested() ? Wake::Stop : Wake::Recheck;
            }
        }
        if (deadline == kNoDeadline) {
            // Nothing planned: like the real timer, sleep until stopped.
            ::WaitForSingleObject(StopEvent(), INFINITE);
            return Wake::Stop;
        }
        if (deadline > nowMs_)
            nowMs_ = deadline;
        return StopRequested() ? Wake::Stop : Wake::Recheck;
    }

private:
    std::atomic<ULONGLONG> nowMs_{0};
};

class TimeWaitTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &TimeWaitTest::WindowProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "TovraTimeWaitTest";
        ::RegisterClassA(&wc);
        window_ = ::CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    wc.hInstance, nullptr);
        ASSERT_NE(window_, nullptr);
        current_ = this;
        timer_ = std::make_shared<FastTimeWait>();
    }
    void TearDown() override {
        if (timer_) {
            EXPECT_TRUE(timer_->Stop(5000));
        }
        ::DestroyWindow(window_);
        current_ = nullptr;
    }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == kTick && current_ != nullptr) {
            current_->ticks_.push_back({current_->timer_->Seconds(), wParam, lParam});
            return 0;
        }
        return ::DefWindowProcA(window, message, wParam, lParam);
    }

    static inline TimeWaitTest* current_ = nullptr;
    HWND window_ = nullptr;
    std::shared_ptr<FastTimeWait> timer_;
    std::vector<Tick> ticks_;
};

TEST_F(TimeWaitTest, RefusesAZeroIntervalOrAnEmptyTarget) {
    EXPECT_FALSE(timer_->SetInterval(0));
    EXPECT_FALSE(timer_->SetTarget(nullptr, kTick));
    EXPECT_FALSE(timer_->SetTarget(window_, 0));
    EXPECT_TRUE(timer_->SetInterval(5));
    EXPECT_TRUE(timer_->SetTarget(window_, kTick));
}

TEST_F(TimeWaitTest, TicksEveryFiveCountedMinutesWithTheMinuteCount) {
    timer_->SetInterval(5);
    ASSERT_FALSE(timer_->SetInterval(0)); // refused: the 5 stays
    timer_->SetTarget(window_, kTick);
    timer_->gates = {601};
    ASSERT_TRUE(timer_->Start());
    ASSERT_TRUE(PumpUntil([&] { return timer_->reachedGate == 601u; }));
    EXPECT_EQ(ticks_, (std::vector<Tick>{{300, 0, 5}, {600, 0, 5}}));
}

TEST_F(TimeWaitTest, OwnersSetupSequenceGivesFiveMinutesNotTen) {
    // The main window sets 10, starts, then sets 5 before the first second is counted.
    timer_->SetInterval(10);
    timer_->SetTarget(window_, kTick);
    timer_->gates = {1, 301};
    ASSERT_TRUE(timer_->Start());
    ASSERT_TRUE(PumpUntil([&] { return timer_->reachedGate == 1u; }));
    timer_->SetInterval(5);
    ::SetEvent(timer_->release);
    ASSERT_TRUE(PumpUntil([&] { return timer_->reachedGate == 301u; }));
    EXPECT_EQ(ticks_, (std::vector<Tick>{{300, 0, 5}}));
}

TEST_F(TimeWaitTest, ChangingTheIntervalRestartsTheMinuteCount) {
    timer_->SetInterval(10);
    timer_->SetTarget(window_, kTick);
    timer_->gates = {421, 1021};
    ASSERT_TRUE(timer_->Start());
    ASSERT_TRUE(PumpUntil([&] { return timer_->reachedGate == 421u; }));
    // Seven minutes and a second counted; lowering to 5 does not tick at once but 5 minutes after
    // the minute under way began.
    timer_->SetInterval(5);
    ::SetEvent(timer_->release);
    ASSERT_TRUE(PumpUntil([&] { return timer_->reachedGate == 1021u; }));
    EXPECT_EQ(ticks_, (std::vector<Tick>{{720, 0, 5}, {1020, 0, 5}}));
}

TEST_F(TimeWaitTest, NoTickArrivesAfterStopHasReturned) {
    timer_->SetInterval(1);
    timer_->SetTarget(window_, kTick);
    ASSERT_TRUE(timer_->Start());
    ASSERT_TRUE(PumpUntil([&] { return ticks_.size() >= 3; }));
    ASSERT_TRUE(timer_->Stop(5000));
    const std::size_t ticksAtStop = ticks_.size();
    EXPECT_FALSE(timer_->IsRunning());
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageA(&msg);
    EXPECT_EQ(ticks_.size(), ticksAtStop);
    for (const Tick& tick : ticks_) {
        EXPECT_EQ(tick.minutes, 1);
    }
}

// Early checks come their delay after the request. While one is pending, a later request only
// brings it forward (a burst makes one check), and the regular ticks stay where they were.
TEST_F(TimeWaitTest, EarlyChecksComeAfterTheirDelayAndABurstMakesOne) {
    timer_ = std::make_shared<FastTimeWait>(EarlyCheckDelays{15000, 20000, 60000});
    timer_->SetInterval(5);
    timer_->SetTarget(window_, kTick);
    timer_->gates = {10, 100, 301};
    ASSERT_TRUE(timer_->Start());
    ASSERT_TRUE(PumpUntil([&] { return timer_->reachedGate == 10u; }));
    timer_->ScheduleCheck(CheckReason::Retry);            // due at 70
    timer_->ScheduleCheck(CheckReason::NetworkChanged);   // due at 30: brought forward
    timer_->ScheduleCheck(CheckReason::ResumedFromSleep); // due at 25: brought forward again
    timer_->ScheduleCheck(CheckReason::NetworkChanged);   // due at 30: joins the pending one
    ::SetEvent(timer_->release);
    ASSERT_TRUE(PumpUntil([&] { return timer_->reachedGate == 100u; }));
    timer_->ScheduleCheck(CheckReason::NetworkChanged);
    ::SetEvent(timer_->release);
    ASSERT_TRUE(PumpUntil([&] { return timer_->reachedGate == 301u; }));
    EXPECT_EQ(ticks_, (std::vector<Tick>{{25, 1, 0}, {120, 2, 0}, {300, 0, 5}}));
}

TEST(TimeWaitRealSleep, StopEndsTheOneSecondWaitAtOnce) {
    auto timer = std::make_shared<CTimeWait>();
    timer->SetInterval(5);
    ASSERT_TRUE(timer->Start());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(timer->Stop(5000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
}

} // namespace
} // namespace tovra
