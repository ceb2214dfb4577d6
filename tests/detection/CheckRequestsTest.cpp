#include "detection/CheckRequests.h"

#include <gtest/gtest.h>

namespace tovra {
namespace {

constexpr CheckMode kWebPost{true, false};
constexpr CheckMode kLocalPost{false, false};
constexpr CheckMode kWebDisplay{true, true};
constexpr CheckMode kLocalDisplay{false, true};

void ExpectTaken(CheckRequests& requests, CheckMode expected) {
    const std::optional<CheckMode> taken = requests.Take();
    ASSERT_TRUE(taken.has_value());
    EXPECT_EQ(taken->useWeb, expected.useWeb);
    EXPECT_EQ(taken->displayOnly, expected.displayOnly);
}

TEST(CheckRequests, NothingWaitsAtFirst) {
    CheckRequests requests;
    EXPECT_FALSE(requests.Take().has_value());
    EXPECT_FALSE(requests.TakePost());
}

TEST(CheckRequests, ARequestIsTakenOnce) {
    CheckRequests requests;
    requests.Request(kLocalDisplay);
    ExpectTaken(requests, kLocalDisplay);
    EXPECT_FALSE(requests.Take().has_value());
}

// A post of the stored address waits beside a check, never instead of it.
TEST(CheckRequests, PressesBeforeThePostIsTakenMakeOnePostBesideTheCheck) {
    CheckRequests requests;
    requests.RequestPost();
    requests.Request(kWebPost);
    requests.RequestPost();
    EXPECT_TRUE(requests.TakePost());
    EXPECT_FALSE(requests.TakePost());
    ExpectTaken(requests, kWebPost);
}

TEST(CheckRequests, SeveralRequestsMakeOneCheckInTheLatestSource) {
    CheckRequests requests;
    requests.Request(kWebDisplay);
    requests.Request(kLocalDisplay);
    ExpectTaken(requests, kLocalDisplay);
    EXPECT_FALSE(requests.Take().has_value());
}

TEST(CheckRequests, ARequestToPostIsNeverMadeDisplayOnly) {
    CheckRequests requests;
    requests.Request(kWebPost);
    requests.Request(kLocalDisplay);
    ExpectTaken(requests, kLocalPost);
}

TEST(CheckRequests, ALaterRequestToPostWinsOverADisplayOnlyOne) {
    CheckRequests requests;
    requests.Request(kLocalDisplay);
    requests.Request(kWebPost);
    ExpectTaken(requests, kWebPost);
}

TEST(CheckRequests, AfterTakingTheNextRequestStartsFresh) {
    CheckRequests requests;
    requests.Request(kWebPost);
    ExpectTaken(requests, kWebPost);
    requests.Request(kWebDisplay);
    ExpectTaken(requests, kWebDisplay);
}

} // namespace
} // namespace tovra
