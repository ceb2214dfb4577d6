#include "mainwindow/UiInvoker.h"
#include "framework/Win32Handles.h"
#include "framework/WorkerThread.h"
#include "tests/support/LambdaWorker.h"
#include "tests/support/MessagePump.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tovra {
namespace {

using test::LambdaWorker;

std::shared_ptr<LambdaWorker> StartWorker(std::function<void(LambdaWorker&)> body) {
    auto worker = LambdaWorker::Started(std::move(body));
    EXPECT_TRUE(worker);
    return worker;
}

class UiInvokerTest : public ::testing::Test {
protected:
    // Waits, without handling it, until a worker's call is queued for this thread.
    static bool WaitForSentMessage() {
        const auto queued = [] { return (HIWORD(::GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0; };
        const DWORD start = ::GetTickCount();
        while (!queued() && ::GetTickCount() - start < 10000)
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_SENDMESSAGE);
        return queued();
    }

    std::shared_ptr<UiInvoker> invoker = std::make_shared<UiInvoker>(::GetModuleHandleA(nullptr));
    const DWORD uiThread = ::GetCurrentThreadId();
};

TEST_F(UiInvokerTest, OnTheUiThreadACallRunsDirectly) {
    int runs = 0;
    EXPECT_TRUE(invoker->Invoke([&] { ++runs; }));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(invoker->UiThreadId(), uiThread);
}

TEST_F(UiInvokerTest, AWorkersCallRunsOnTheUiThreadWhileTheWorkerWaits) {
    DWORD ranOn = 0;
    std::atomic<bool> sawResult{false};
    std::atomic<bool> done{false};
    auto worker = StartWorker([&](LambdaWorker&) {
        int value = 0;
        const bool ran = invoker->Invoke([&] {
            ranOn = ::GetCurrentThreadId();
            value = 7;
        });
        sawResult = ran && value == 7; // set by the UI thread before Invoke returned
        done = true;
    });
    ASSERT_TRUE(test::PumpUntil([&] { return done.load(); }));
    EXPECT_TRUE(worker->Join(10000));
    EXPECT_EQ(ranOn, uiThread);
    EXPECT_TRUE(sawResult.load());
}

TEST_F(UiInvokerTest, ManyCallersUnderLoadKeepTheirOwnOrder) {
    constexpr int kCallers = 4;
    constexpr int kCalls = 2500;
    std::vector<std::vector<int>> seen(kCallers); // touched only on the UI thread
    std::atomic<int> refused{0};
    std::atomic<int> finished{0};
    std::vector<std::shared_ptr<LambdaWorker>> workers;
    for (int caller = 0; caller < kCallers; ++caller) {
        workers.push_back(StartWorker([&, caller](LambdaWorker&) {
            for (int call = 0; call < kCalls; ++call) {
                if (!invoker->Invoke([&, caller, call] {
                        EXPECT_EQ(::GetCurrentThreadId(), uiThread);
                        seen[caller].push_back(call);
                    }))
                    ++refused;
            }
            ++finished;
        }));
    }
    ASSERT_TRUE(test::PumpUntil([&] { return finished.load() == kCallers; }, 50000));
    for (auto& worker : workers)
        EXPECT_TRUE(worker->Join(10000));
    EXPECT_EQ(refused.load(), 0);
    for (int caller = 0; caller < kCallers; ++caller) {
        ASSERT_EQ(seen[caller].size(), static_cast<std::size_t>(kCalls)) << "caller " << caller;
        for (int call = 0; call < kCalls; ++call)
            ASSERT_EQ(seen[caller][call], call) << "caller " << caller;
    }
}

TEST_F(UiInvokerTest, AfterCloseNoCallRunsFromAnyThread) {
    invoker->Close();
    EXPECT_TRUE(invoker->IsClosed());
    bool ranHere = false;
    EXPECT_FALSE(invoker->Invoke([&] { ranHere = true; }));
    EXPECT_FALSE(ranHere);

    std::atomic<bool> ranThere{false};
    std::atomic<int> result{-1};
    auto worker =
        StartWorker([&](LambdaWorker&) { result = invoker->Invoke([&] { ranThere = true; }) ? 1 : 0; });
    EXPECT_TRUE(worker->Join(10000));
    EXPECT_EQ(result.load(), 0);
    EXPECT_FALSE(ranThere.load());
    invoker->Close(); // again: harmless
}

// The window goes away while a worker is already blocked sending to it: the owner closes the
// invoker and joins the worker, which must end without its call having run.
TEST_F(UiInvokerTest, ACallerAlreadyWaitingWhenClosedIsReleasedWithoutRunning) {
    std::atomic<bool> ran{false};
    std::atomic<int> result{-1};
    auto worker = StartWorker([&](LambdaWorker&) { result = invoker->Invoke([&] { ran = true; }) ? 1 : 0; });

    ASSERT_TRUE(WaitForSentMessage());

    invoker->Close();
    EXPECT_TRUE(worker->Stop(10000)) << "the join released the waiting caller";
    EXPECT_EQ(result.load(), 0);
    EXPECT_FALSE(ran.load());
}

// Closed from another thread, the window cannot be destroyed at once, so a call already queued
// for it is still delivered: the invoker itself must refuse it.
TEST_F(UiInvokerTest, ACloseFromAnotherThreadRefusesACallAlreadyWaiting) {
    std::atomic<bool> ran{false};
    std::atomic<int> result{-1};
    auto caller = StartWorker([&](LambdaWorker&) { result = invoker->Invoke([&] { ran = true; }) ? 1 : 0; });
    ASSERT_TRUE(WaitForSentMessage());

    // Waited for without handling sent messages (a join would deliver the call before the close).
    UniqueKernelHandle closed(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    auto closer = StartWorker([&](LambdaWorker&) {
        invoker->Close();
        ::SetEvent(closed.get());
    });
    ASSERT_EQ(::WaitForSingleObject(closed.get(), 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(invoker->IsClosed());
    EXPECT_TRUE(closer->Join(10000));
    EXPECT_TRUE(caller->Join(10000));
    EXPECT_EQ(result.load(), 0);
    EXPECT_FALSE(ran.load());
    EXPECT_TRUE(test::PumpUntil([] {
        return !::FindWindowExA(HWND_MESSAGE, nullptr, "Tovra.UiInvoker", nullptr);
    })) << "the window closed itself";
}

TEST_F(UiInvokerTest, CallsRacingWithCloseNeverRunAfterIt) {
    constexpr int kCallers = 3;
    bool closed = false; // UI thread only, like every call
    int ranAfterClose = 0;
    int ranBeforeClose = 0;
    std::atomic<int> finished{0};
    std::vector<std::shared_ptr<LambdaWorker>> workers;
    for (int caller = 0; caller < kCallers; ++caller) {
        workers.push_back(StartWorker([&](LambdaWorker& self) {
            // Keeps calling until refused, as a checker logging its progress would.
            while (!self.StopRequested() &&
                   invoker->Invoke([&] { ++(closed ? ranAfterClose : ranBeforeClose); })) {
            }
            ++finished;
        }));
    }
    ASSERT_TRUE(test::PumpUntil([&] { return ranBeforeClose >= 300; }));
    invoker->Close();
    closed = true;
    for (auto& worker : workers)
        EXPECT_TRUE(worker->Stop(10000));
    EXPECT_EQ(finished.load(), kCallers);
    EXPECT_EQ(ranAfterClose, 0);
}

TEST_F(UiInvokerTest, AnExceptionFromTheCallReachesTheCaller) {
    std::string caught;
    std::atomic<bool> laterCallRan{false};
    std::atomic<bool> done{false};
    auto worker = StartWorker([&](LambdaWorker&) {
        try {
            invoker->Invoke([] { throw std::runtime_error("control is gone"); });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
        laterCallRan = invoker->Invoke([] {});
        done = true;
    });
    ASSERT_TRUE(test::PumpUntil([&] { return done.load(); }));
    EXPECT_TRUE(worker->Join(10000));
    EXPECT_EQ(caught, "control is gone");
    EXPECT_TRUE(laterCallRan.load()) << "the UI thread was not disturbed";
}

TEST_F(UiInvokerTest, AWorkerOutlivingTheWindowFindsAClosedInvoker) {
    // The worker is "stuck": only this event, not the stop request, lets it go on.
    auto release = std::make_shared<UniqueKernelHandle>(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    auto outcome = std::make_shared<std::atomic<int>>(-1);
    std::shared_ptr<UiInvoker> shared = invoker;
    auto worker = StartWorker([release, outcome, shared](LambdaWorker&) {
        ::WaitForSingleObject(release->get(), 60000);
        *outcome = shared->Invoke([] {}) ? 1 : 0;
    });
    // The owner goes away: closes, tries to stop, gives up, lets go of everything.
    invoker->Close();
    EXPECT_FALSE(worker->Stop(50));
    invoker.reset();
    shared.reset();
    ::SetEvent(release->get());
    ASSERT_TRUE(worker->Join(10000));
    EXPECT_EQ(outcome->load(), 0);
}

} // namespace
} // namespace tovra
