#include "detection/Ipv6AddressChoice.h"

#include <gtest/gtest.h>

#include <vector>

namespace tovra {
namespace {

// An address from its eight groups.
std::array<std::uint8_t, 16> Address(std::array<unsigned, 8> groups) {
    std::array<std::uint8_t, 16> bytes{};
    for (int i = 0; i < 8; ++i) {
        bytes[2 * i] = static_cast<std::uint8_t>(groups[i] >> 8);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(groups[i] & 0xFF);
    }
    return bytes;
}

Ipv6Candidate Candidate(std::array<unsigned, 8> groups, bool preferred = true, bool temporary = false,
                        bool tunnel = false) {
    return Ipv6Candidate{Address(groups), preferred, temporary, tunnel};
}

TEST(Ipv6AddressChoice, OnlyPreferredGlobalAddressesQualify) {
    const std::vector<Ipv6Candidate> none = {
        Candidate({0, 0, 0, 0, 0, 0, 0, 1}),                                    // loopback
        Candidate({0xfe80, 0, 0, 0, 0x1, 0x2, 0x3, 0x4}),                       // link-local
        Candidate({0xfd00, 0x1, 0, 0, 0, 0, 0, 0x5}),                           // unique-local
        Candidate({0xff02, 0, 0, 0, 0, 0, 0, 0x1}),                             // multicast
        Candidate({0x2001, 0xdb8, 0x9, 0, 0, 0, 0, 0x9}, false),                // deprecated or tentative
        Candidate({0x4000, 0, 0, 0, 0, 0, 0, 0x1}),                             // outside 2000::/3
        Candidate({0x2001, 0, 0x4136, 0xe378, 0x8000, 0x63bf, 0x3fff, 0xfdd2}), // Teredo
        Candidate({0x2002, 0xc000, 0x20a, 0, 0, 0, 0, 0x7}),                    // 6to4
        Candidate({0x2001, 0xdb8, 0x5, 0, 0, 0, 0, 0x5}, true, false, true),    // on a tunnel
    };
    EXPECT_EQ(ChooseIpv6Address(none), "");
    EXPECT_EQ(ChooseIpv6Address({}), "");

    std::vector<Ipv6Candidate> withGlobal = none;
    withGlobal.push_back(Candidate({0x2001, 0xdb8, 0x2, 0, 0, 0, 0, 0x7}));
    withGlobal.push_back(Candidate({0x3fff, 0x1, 0, 0, 0, 0, 0, 0x8}));
    EXPECT_EQ(ChooseIpv6Address(withGlobal), "2001:db8:2::7");
}

TEST(Ipv6AddressChoice, AStableAddressWinsOverAnEarlierTemporaryOne) {
    const std::vector<Ipv6Candidate> both = {
        Candidate({0x2a02, 0x1, 0, 0, 0x1111, 0x2222, 0x3333, 0x4444}, true, true),
        Candidate({0x2a02, 0x1, 0, 0, 0, 0, 0, 0x10}, true, false),
    };
    EXPECT_EQ(ChooseIpv6Address(both), "2a02:1::10");
    // With no stable address, the temporary one is better than none.
    EXPECT_EQ(ChooseIpv6Address(std::span(both).first(1)), "2a02:1::1111:2222:3333:4444");
}

TEST(Ipv6AddressChoice, TextIsCanonical) {
    EXPECT_EQ(Ipv6Text(Address({0, 0, 0, 0, 0, 0, 0, 1})), "::1");
    EXPECT_EQ(Ipv6Text(Address({0, 0, 0, 0, 0, 0, 0, 0})), "::");
    EXPECT_EQ(Ipv6Text(Address({0x2001, 0xdb8, 0, 0, 0, 0, 0, 0})), "2001:db8::");
    // A lone zero group stays "0"; of two equal runs the first is shortened.
    EXPECT_EQ(Ipv6Text(Address({0x2001, 0xdb8, 0, 1, 1, 1, 1, 1})), "2001:db8:0:1:1:1:1:1");
    EXPECT_EQ(Ipv6Text(Address({0x2001, 0, 0, 1, 0, 0, 1, 0xABCD})), "2001::1:0:0:1:abcd");
    // The longer run wins even when it comes second.
    EXPECT_EQ(Ipv6Text(Address({0x2001, 0, 0, 1, 0, 0, 0, 0x0F0})), "2001:0:0:1::f0");
    EXPECT_EQ(Ipv6Text(Address({0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff})),
              "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff");
}

} // namespace
} // namespace tovra
