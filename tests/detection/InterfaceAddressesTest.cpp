// Reading the interface table: its sizing on made-up tables of any length, and one look at the
// system's own table under Wine. The choice among the rows is tested in LocalAddressChoiceTest.

#include "detection/AddressScan.h"
#include "detection/InterfaceAddresses.h"
#include "detection/IpAddressChecker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>

namespace tovra {
namespace {

// The made-up table that FakeGetIpAddrTable reports: `rows` addresses 10.0.0.1, 10.0.0.2, ...,
// growing by `growth` rows after each of the first `growingCalls` calls, as when adapters come up
// while the table is read.
struct FakeTable {
    ULONG rows = 0;
    ULONG growth = 0;
    int growingCalls = 0;
    int calls = 0;
} g_fake;

DWORD WINAPI FakeGetIpAddrTable(PMIB_IPADDRTABLE table, PULONG size, BOOL) {
    const ULONG rows = g_fake.rows;
    if (g_fake.calls++ < g_fake.growingCalls)
        g_fake.rows += g_fake.growth;
    const ULONG needed = static_cast<ULONG>(offsetof(MIB_IPADDRTABLE, table) + rows * sizeof(MIB_IPADDRROW));
    if (table == nullptr || *size < needed) {
        *size = needed;
        return ERROR_INSUFFICIENT_BUFFER;
    }
    table->dwNumEntries = rows;
    for (ULONG i = 0; i < rows; ++i) {
        table->table[i] = MIB_IPADDRROW{};
        table->table[i].dwAddr = htonl(0x0A000001 + i);
    }
    return NO_ERROR;
}

std::vector<std::uint32_t> AddressesOf(const std::vector<InterfaceAddress>& rows) {
    std::vector<std::uint32_t> addresses;
    for (const InterfaceAddress& row : rows)
        addresses.push_back(row.address);
    return addresses;
}

std::vector<std::uint32_t> ReadFake(ULONG rows, ULONG growth = 0, int growingCalls = 0) {
    g_fake = FakeTable{rows, growth, growingCalls, 0};
    return AddressesOf(ReadInterfaceAddresses(&FakeGetIpAddrTable));
}

// More than the 33 rows that a fixed 796-byte buffer holds.
TEST(InterfaceAddresses, ATableOfAnySizeIsReadWhole) {
    const std::vector<std::uint32_t> addresses = ReadFake(40);
    ASSERT_THAT(addresses, ::testing::SizeIs(40));
    EXPECT_EQ(addresses.front(), 0x0A000001u);
    EXPECT_EQ(addresses.back(), 0x0A000001u + 39);
}

TEST(InterfaceAddresses, ATableThatGrowsWhileReadIsAskedForAgain) {
    EXPECT_THAT(ReadFake(3, 2, 2), ::testing::SizeIs(7));
    // A table that never stops growing is given up on, not chased for ever.
    EXPECT_THAT(ReadFake(3, 2, 1000), ::testing::IsEmpty());
    EXPECT_LE(g_fake.calls, 4);
}

TEST(InterfaceAddresses, TheSystemTableIsReadInAscendingOrder) {
    const std::vector<std::uint32_t> addresses = AddressesOf(ReadInterfaceAddresses());
    ASSERT_FALSE(addresses.empty()) << "every machine has at least its loopback address";
    EXPECT_TRUE(std::is_sorted(addresses.begin(), addresses.end()));
}

TEST(InterfaceAddresses, TheLocalAddressIsOneOfTheTableAndNeverLoopbackOrZero) {
    const std::string local = CIpAddressChecker::FindLocalAddress();
    if (local.empty())
        GTEST_SKIP() << "this machine has no address besides 127.0.0.1";
    EXPECT_NE(local, "127.0.0.1");
    EXPECT_NE(local, "0.0.0.0");
    EXPECT_THAT(AddressesOf(ReadInterfaceAddresses()), ::testing::Contains(FindFirstAddress(local)));
}

} // namespace
} // namespace tovra
