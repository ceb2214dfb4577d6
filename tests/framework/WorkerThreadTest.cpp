#include "framework/MessageWindow.h"
#include "framework/Win32Handles.h"
#include "framework/WorkerThread.h"
#include "tests/support/LambdaWorker.h"
#include "tests/support/MessagePump.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace tovra {
namespace {

using test::LambdaWorker;

UniqueKernelHandle MakeEvent() {
    return UniqueKernelHandle(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
}

TEST(WorkerThread, RunsOnAThreadOfItsOwnAndJoins) {
    std::atomic<DWORD> workerThread{0};
    auto worker =
        std::make_shared<LambdaWorker>([&](LambdaWorker&) { workerThread = ::GetCurrentThreadId(); });
    ASSERT_TRUE(worker->Start());
    EXPECT_FALSE(worker->Start()) << "a worker starts once";
    ASSERT_TRUE(worker->Join(10000));
    EXPECT_FALSE(worker->IsRunning());
    EXPECT_NE(workerThread.load(), 0u);
    EXPECT_NE(workerThread.load(), ::GetCurrentThreadId());
    EXPECT_FALSE(worker->Failure());
}

// Most of a new worker's stack is handed back as it starts; what is handed back must stay usable
// and read as the worker wrote it.
[[gnu::noinline]] bool FillsAndReadsBackStack(std::size_t bytes) {
    std::vector<unsigned char> expected(bytes);
    auto* const onStack = static_cast<volatile unsigned char*>(__builtin_alloca(bytes));
    for (std::size_t i = 0; i < bytes; ++i)
        onStack[i] = expected[i] = static_cast<unsigned char>(i * 7 + 1);
    for (std::size_t i = 0; i < bytes; ++i)
        if (onStack[i] != expected[i])
            return false;
    return true;
}

TEST(WorkerThread, AWorkerCanUseMostOfItsStack) {
    std::atomic<bool> intact{false};
    auto worker =
        std::make_shared<LambdaWorker>([&](LambdaWorker&) { intact = FillsAndReadsBackStack(1536 * 1024); });
    ASSERT_TRUE(worker->Start());
    ASSERT_TRUE(worker->Join(10000));
    EXPECT_FALSE(worker->Failure());
    EXPECT_TRUE(intact);
}

TEST(WorkerThread, RefusesToStartWithoutSharedOwnership) {
    // Without a shared owner an abandoned thread could outlive the object it runs in.
    LambdaWorker onTheStack([](LambdaWorker&) {});
    EXPECT_FALSE(onTheStack.Start());
    EXPECT_FALSE(onTheStack.IsRunning());
    EXPECT_TRUE(onTheStack.Join(0)) << "nothing to join";
}

TEST(WorkerThread, StopWakesAWorkerWaitingInPlaceOfASleep) {
    std::atomic<int> rounds{0};
    auto worker = std::make_shared<LambdaWorker>([&](LambdaWorker& self) {
        // One minute per round: only the stop request can end this loop within the test.
        while (!self.WaitForStop(60000))
            ++rounds;
    });
    EXPECT_FALSE(worker->StopRequested());
    ASSERT_TRUE(worker->Start());
    const DWORD start = ::GetTickCount();
    EXPECT_TRUE(worker->Stop(10000));
    EXPECT_LT(::GetTickCount() - start, 5000u);
    EXPECT_TRUE(worker->StopRequested());
    EXPECT_EQ(rounds.load(), 0);
}

TEST(WorkerThread, StopEventCanBeWaitedOnWithOtherHandles) {
    UniqueKernelHandle work = MakeEvent();
    std::atomic<int> jobs{0};
    auto worker = std::make_shared<LambdaWorker>([&](LambdaWorker& self) {
        const HANDLE handles[] = {self.StopEvent(), work.get()};
        while (::WaitForMultipleObjects(2, handles, FALSE, 60000) == WAIT_OBJECT_0 + 1) {
            ::ResetEvent(work.get());
            ++jobs;
        }
    });
    ASSERT_TRUE(worker->Start());
    ::SetEvent(work.get());
    ASSERT_TRUE(test::PumpUntil([&] { return jobs.load() == 1; }));
    EXPECT_TRUE(worker->Stop(10000));
}

// A worker stuck in a call that the stop request cannot cut short.
struct StuckWorkerProbe {
    UniqueKernelHandle release = MakeEvent();
    std::atomic<bool> entered{false};
    std::atomic<bool> returned{false};
    std::atomic<bool> destroyed{false};
    std::atomic<DWORD> destroyedOnThread{0};
    std::atomic<DWORD> ranOnThread{0};
};

class StuckWorker : public WorkerThread {
public:
    explicit StuckWorker(std::shared_ptr<StuckWorkerProbe> probe) : probe_(std::move(probe)) {}
    ~StuckWorker() override {
        probe_->destroyedOnThread = ::GetCurrentThreadId();
        probe_->destroyed = true;
    }

protected:
    void Run() override {
        probe_->ranOnThread = ::GetCurrentThreadId();
        probe_->entered = true;
        ::WaitForSingleObject(probe_->release.get(), 60000);
        // Touches its own members after the wait: this must still be live memory.
        afterWait_.assign(1000, 'x');
        probe_->returned = StopRequested();
    }

private:
    std::shared_ptr<StuckWorkerProbe> probe_;
    std::string afterWait_;
};

TEST(WorkerThread, JoinTimesOutWhileTheWorkerIsStuckAndSucceedsOnceItReturns) {
    auto probe = std::make_shared<StuckWorkerProbe>();
    auto worker = std::make_shared<StuckWorker>(probe);
    ASSERT_TRUE(worker->Start());
    ASSERT_TRUE(test::PumpUntil([&] { return probe->entered.load(); }));

    const DWORD start = ::GetTickCount();
    EXPECT_FALSE(worker->Stop(200));
    const DWORD waited = ::GetTickCount() - start;
    EXPECT_GE(waited, 150u) << "the join waited for its bound";
    EXPECT_LT(waited, 5000u) << "and no longer";
    EXPECT_TRUE(worker->IsRunning());

    ::SetEvent(probe->release.get());
    EXPECT_TRUE(worker->Join(10000));
    EXPECT_TRUE(probe->returned.load()) << "the worker saw the stop request when its call returned";
    EXPECT_FALSE(probe->destroyed.load()) << "the owner still holds it";
}

TEST(WorkerThread, AnAbandonedWorkerKeepsItselfAliveUntilItReturns) {
    auto probe = std::make_shared<StuckWorkerProbe>();
    auto worker = std::make_shared<StuckWorker>(probe);
    ASSERT_TRUE(worker->Start());
    ASSERT_TRUE(test::PumpUntil([&] { return probe->entered.load(); }));
    ASSERT_FALSE(worker->Stop(50));

    worker.reset(); // the owner gives up on it, as a window that is going away must
    EXPECT_FALSE(probe->destroyed.load()) << "not destroyed under a running thread";

    ::SetEvent(probe->release.get());
    ASSERT_TRUE(test::PumpUntil([&] { return probe->destroyed.load(); }));
    EXPECT_TRUE(probe->returned.load());
    EXPECT_EQ(probe->destroyedOnThread.load(), probe->ranOnThread.load())
        << "the last reference was the thread's own";
}

TEST(WorkerThread, AnExceptionFromRunIsKeptForTheOwner) {
    auto worker =
        std::make_shared<LambdaWorker>([](LambdaWorker&) { throw std::runtime_error("lookup failed"); });
    ASSERT_TRUE(worker->Start());
    ASSERT_TRUE(worker->Join(10000));
    ASSERT_TRUE(worker->Failure());
    try {
        std::rethrow_exception(worker->Failure());
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "lookup failed");
    }
}

TEST(WorkerThread, AWorkerCannotJoinItself) {
    std::atomic<int> joined{-1};
    auto worker =
        std::make_shared<LambdaWorker>([&](LambdaWorker& self) { joined = self.Join(60000) ? 1 : 0; });
    ASSERT_TRUE(worker->Start());
    ASSERT_TRUE(worker->Join(10000))
        << "the worker's own join returned at once instead of waiting for itself";
    EXPECT_EQ(joined.load(), 0);
}

// A window on the joining thread that a worker sends to, as the checker sends to the main window.
class Receiver : public MessageWindow {
public:
    static constexpr UINT kSent = WM_APP + 1;
    static constexpr UINT kPosted = WM_APP + 2;
    std::atomic<DWORD> handledOnThread{0};
    std::atomic<int> posted{0};

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kSent) {
            handledOnThread = ::GetCurrentThreadId();
            return 42;
        }
        if (message == kPosted) {
            ++posted;
            return 0;
        }
        return MessageWindow::HandleMessage(message, wParam, lParam);
    }
};

TEST(WorkerThread, JoinHandlesWhatTheWorkerSendsButLeavesPostedMessagesQueued) {
    Receiver receiver;
    ASSERT_TRUE(receiver.Create(::GetModuleHandleA(nullptr), "Tovra.Test.Receiver",
                                MessageWindow::Kind::MessageOnly));
    const HWND window = receiver;
    std::atomic<LRESULT> answer{0};
    auto worker = std::make_shared<LambdaWorker>([&](LambdaWorker&) {
        ::PostMessageA(window, Receiver::kPosted, 0, 0);
        answer = ::SendMessageA(window, Receiver::kSent, 0, 0);
    });
    ASSERT_TRUE(worker->Start());
    // Without the join handling sent messages, this would wait for its full bound and fail.
    ASSERT_TRUE(worker->Join(10000));
    EXPECT_EQ(answer.load(), 42);
    EXPECT_EQ(receiver.handledOnThread.load(), ::GetCurrentThreadId());
    EXPECT_EQ(receiver.posted.load(), 0) << "posted messages are for the message loop, not the join";
    EXPECT_TRUE(test::PumpUntil([&] { return receiver.posted.load() == 1; }));
}

} // namespace
} // namespace tovra
