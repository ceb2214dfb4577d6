// The system's own table, read under Wine: only what holds on any machine is checked here; the
// choice among the rows is tested on made-up tables (LocalAddressChoiceTest).

#include "detection/AddressScan.h"
#include "detection/InterfaceAddresses.h"
#include "detection/IpAddressChecker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace tovra {
namespace {

TEST(InterfaceAddresses, TheSystemTableIsReadInAscendingOrder) {
    const std::vector<std::uint32_t> addresses = ReadInterfaceAddresses();
    ASSERT_FALSE(addresses.empty()) << "every machine has at least its loopback address";
    EXPECT_TRUE(std::is_sorted(addresses.begin(), addresses.end()));
}

TEST(InterfaceAddresses, TheLocalAddressIsOneOfTheTableAndNeverLoopbackOrZero) {
    const std::string local = CIpAddressChecker::FindLocalAddress();
    if (local.empty())
        GTEST_SKIP() << "this machine has no address besides 127.0.0.1";
    EXPECT_NE(local, "127.0.0.1");
    EXPECT_NE(local, "0.0.0.0");
    EXPECT_THAT(ReadInterfaceAddresses(), ::testing::Contains(FindFirstAddress(local)));
}

} // namespace
} // namespace tovra
