#include "detection/PublicAddress.h"

#include <gtest/gtest.h>

namespace tovra {
namespace {

// Each unreachable block's first and last address, and the public neighbours just outside it: an
// off-by-one in a mask or a prefix length shows as a wrong verdict at one of these edges.
TEST(PublicAddress, EveryUnreachableBlockEndsExactlyAtItsEdges) {
    struct Edge {
        const char* text;
        bool isPublic;
    };
    const Edge edges[] = {
        {"0.0.0.1", false},
        {"0.255.255.255", false},
        {"1.0.0.0", true},
        {"9.255.255.255", true},
        {"10.0.0.0", false},
        {"10.255.255.255", false},
        {"11.0.0.0", true},
        {"100.63.255.255", true},
        {"100.64.0.0", false},
        {"100.127.255.255", false},
        {"100.128.0.0", true},
        {"126.255.255.255", true},
        {"127.0.0.1", false},
        {"128.0.0.0", true},
        {"169.253.255.255", true},
        {"169.254.0.0", false},
        {"169.254.255.255", false},
        {"169.255.0.0", true},
        {"172.15.255.255", true},
        {"172.16.0.0", false},
        {"172.31.255.255", false},
        {"172.32.0.0", true},
        {"191.255.255.255", true},
        {"192.0.0.0", false},
        {"192.0.0.255", false},
        {"192.0.1.0", true},
        {"192.167.255.255", true},
        {"192.168.0.0", false},
        {"192.168.255.255", false},
        {"192.169.0.0", true},
        {"198.17.255.255", true},
        {"198.18.0.0", false},
        {"198.19.255.255", false},
        {"198.20.0.0", true},
        {"223.255.255.255", true},
        {"224.0.0.0", false},
        {"239.255.255.255", false},
        {"240.0.0.0", false},
        {"255.255.255.255", false},
        // The documentation blocks route nowhere either, but the rule names only the others,
        // and tests elsewhere publish them.
        {"192.0.2.1", true},
        {"198.51.100.23", true},
        {"203.0.113.7", true},
    };
    for (const Edge& edge : edges)
        EXPECT_EQ(IsPublicAddress(std::string_view(edge.text)), edge.isPublic) << edge.text;
}

TEST(PublicAddress, OnlyTheCanonicalTextOfAnAddressIsJudgedPublic) {
    for (const char* text : {"", "84.12.3", "84.12.3.7 ", " 84.12.3.7", "084.12.3.7", "84.12.3.7.1", "x"})
        EXPECT_FALSE(IsPublicAddress(std::string_view(text))) << '"' << text << '"';
    EXPECT_TRUE(IsPublicAddress(std::string_view("84.12.3.7")));
}

TEST(PublicAddress, TheKindNamesTheSharedSpaceApartFromPrivateNetworks) {
    EXPECT_NE(UnreachableKind(0x64400001).find("carrier-grade NAT"), std::string_view::npos);
    EXPECT_NE(UnreachableKind(0xC0A80001).find("private"), std::string_view::npos);
    EXPECT_TRUE(UnreachableKind(0x54000001).empty());
}

} // namespace
} // namespace tovra
