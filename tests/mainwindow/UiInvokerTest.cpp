#include "mainwindow/UiInvoker.h"
#include "tests/support/LambdaWorker.h"
#include "tests/support/MessagePump.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <vector>

namespace tovra {
namespace {

using test::LambdaWorker;

class UiInvokerTest : public ::testing::Test {
protected:
    std::unique_ptr<UiInvoker> invoker = std::make_unique<UiInvoker>(::GetModuleHandleA(nullptr));
    const DWORD uiThread = ::GetCurrentThreadId();
};

// Posters finish without the window thread's help; their calls then run there, each poster's in
// its order, and one that throws takes nothing else along.
TEST_F(UiInvokerTest, PostsRunLaterOnTheWindowThreadInEachPostersOrder) {
    constexpr int kPosters = 4;
    constexpr int kPosts = 2500;
    std::vector<std::vector<int>> seen(kPosters); // the window thread's
    std::vector<std::shared_ptr<LambdaWorker>> posters;
    for (int poster = 0; poster < kPosters; ++poster)
        posters.push_back(LambdaWorker::Started([&, poster, calls = invoker->Calls()](LambdaWorker&) {
            for (int post = 0; post < kPosts; ++post)
                calls->Post([&, poster, post] {
                    EXPECT_EQ(::GetCurrentThreadId(), uiThread);
                    seen[poster].push_back(post);
                    if (post == 7)
                        throw std::runtime_error("control is gone");
                });
        }));
    for (auto& poster : posters)
        ASSERT_TRUE(poster->Join(10000)) << "a poster waited for the window";
    ASSERT_TRUE(test::PumpUntil([&] {
        for (const auto& posts : seen)
            if (posts.size() < kPosts)
                return false;
        return true;
    }));
    for (int poster = 0; poster < kPosters; ++poster) {
        ASSERT_EQ(seen[poster].size(), static_cast<std::size_t>(kPosts)) << "poster " << poster;
        for (int post = 0; post < kPosts; ++post)
            ASSERT_EQ(seen[poster][post], post) << "poster " << poster;
    }
}

// What was posted before the close, or is posted after it (by a worker that outlives the
// invoker, too), never runs.
TEST_F(UiInvokerTest, NothingPostedRunsOnceClosed) {
    int ran = 0;
    EXPECT_TRUE(invoker->Post([&] { ++ran; }));
    const std::shared_ptr<UiInvoker::Queue> calls = invoker->Calls();
    invoker->Close();
    EXPECT_FALSE(invoker->Post([&] { ++ran; }));
    invoker.reset();
    std::atomic<int> accepted{-1};
    auto late = LambdaWorker::Started([&](LambdaWorker&) { accepted = calls->Post([&] { ++ran; }) ? 1 : 0; });
    ASSERT_TRUE(late->Join(10000));
    EXPECT_EQ(accepted.load(), 0);
    EXPECT_EQ(ran, 0);
}

} // namespace
} // namespace tovra
