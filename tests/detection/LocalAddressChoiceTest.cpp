#include "detection/LocalAddressChoice.h"

#include <gtest/gtest.h>

#include <vector>

namespace tovra {
namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;

// Rows of one interface, as a table without routing information has them.
std::vector<InterfaceAddress> Rows(std::vector<std::uint32_t> addresses) {
    std::vector<InterfaceAddress> rows;
    for (std::uint32_t address : addresses)
        rows.push_back({address, 1});
    return rows;
}

TEST(LocalAddressChoice, SkipsZeroAndExactlyTheLoopbackAddress) {
    EXPECT_EQ(ChooseLocalAddress(Rows({0, kLoopback})), 0u);
    EXPECT_EQ(ChooseLocalAddress(Rows({})), 0u);
    EXPECT_EQ(ChooseLocalAddress(Rows({0, 0x0A000005, kLoopback})), 0x0A000005u);
}

// Nobody elsewhere can reach a loopback or a link-local (no DHCP answer) address.
TEST(LocalAddressChoice, NeverLoopbackOrLinkLocalAddresses) {
    EXPECT_EQ(ChooseLocalAddress(Rows({kLoopback, 0x7F000002, 0xA9FE0307})), 0u);
    EXPECT_EQ(ChooseLocalAddress(Rows({0x7F000002, 0xA9FE0307, 0xC0A80105})), 0xC0A80105u);
}

TEST(LocalAddressChoice, TakesTheFirstInTableOrder) {
    EXPECT_EQ(ChooseLocalAddress(Rows({0xC0A80102, 0x0A000001})), 0xC0A80102u);
}

TEST(LocalAddressChoice, LongTablesAreSearchedToTheEnd) {
    std::vector<InterfaceAddress> rows = Rows(std::vector<std::uint32_t>(40, 0));
    rows.back().address = 0xC0A80001;
    EXPECT_EQ(ChooseLocalAddress(rows), 0xC0A80001u);
}

// A virtual adapter's lower address (interface 3) loses to the routed interface's (interface 5),
// whose own link-local address is passed over; with no route, or a routed interface without a
// usable address, the first usable address of all stands.
TEST(LocalAddressChoice, PrefersTheInterfaceThatCarriesTheDefaultRoute) {
    const std::vector<InterfaceAddress> rows = {
        {0x0A000001, 3}, {0x7F000001, 1}, {0xA9FE0101, 5}, {0xAC100005, 5}, {0xC0A83801, 3}};
    EXPECT_EQ(ChooseLocalAddress(rows, 5), 0xAC100005u);
    EXPECT_EQ(ChooseLocalAddress(rows, std::nullopt), 0x0A000001u);
    EXPECT_EQ(ChooseLocalAddress(rows, 1), 0x0A000001u);
    EXPECT_EQ(ChooseLocalAddress(rows, 9), 0x0A000001u);
}

} // namespace
} // namespace tovra
