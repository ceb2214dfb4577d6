#include "detection/LocalAddressChoice.h"

#include <gtest/gtest.h>

#include <vector>

namespace tovra {
namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;

TEST(LocalAddressChoice, SkipsZeroAndExactlyTheLoopbackAddress) {
    EXPECT_EQ(ChooseLocalAddress(std::vector<std::uint32_t>{0, kLoopback}), 0u);
    EXPECT_EQ(ChooseLocalAddress(std::vector<std::uint32_t>{}), 0u);
    EXPECT_EQ(ChooseLocalAddress(std::vector<std::uint32_t>{0, 0x0A000005, kLoopback}), 0x0A000005u);
}

TEST(LocalAddressChoice, OtherLoopbackAddressesCount) {
    EXPECT_EQ(ChooseLocalAddress(std::vector<std::uint32_t>{kLoopback, 0x7F000002}), 0x7F000002u);
}

TEST(LocalAddressChoice, TakesTheFirstInTableOrder) {
    EXPECT_EQ(ChooseLocalAddress(std::vector<std::uint32_t>{0xC0A80102, 0x0A000001}), 0xC0A80102u);
}

TEST(LocalAddressChoice, LongTablesAreSearchedToTheEnd) {
    std::vector<std::uint32_t> rows(40, 0);
    rows.back() = 0xC0A80001;
    EXPECT_EQ(ChooseLocalAddress(rows), 0xC0A80001u);
}

} // namespace
} // namespace tovra
