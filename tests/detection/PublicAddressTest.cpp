#include "detection/PublicAddress.h"

#include <gtest/gtest.h>

namespace tovra {
namespace {

// Each unreachable block's first and last address, and the public neighbours just outside it: an
// off-by-one in a mask or a prefix length shows as a wrong verdict at one of these edges.
TEST(PublicAddress, EveryUnreachableBlockEndsExactlyAtItsEdges) {
    for (const char* text :
         {"0.0.0.1",         "0.255.255.255",  "10.0.0.0",    "10.255.255.255",  "100.64.0.0",
          "100.127.255.255", "127.0.0.1",      "169.254.0.0", "169.254.255.255", "172.16.0.0",
          "172.31.255.255",  "192.0.0.0",      "192.0.0.255", "192.168.0.0",     "192.168.255.255",
          "198.18.0.0",      "198.19.255.255", "224.0.0.0",   "239.255.255.255", "240.0.0.0",
          "255.255.255.255"})
        EXPECT_FALSE(IsPublicAddress(std::string_view(text))) << text;
    for (const char* text :
         {"1.0.0.0", "9.255.255.255", "11.0.0.0", "100.63.255.255", "100.128.0.0", "126.255.255.255",
          "128.0.0.0", "169.253.255.255", "169.255.0.0", "172.15.255.255", "172.32.0.0", "191.255.255.255",
          "192.0.1.0", "192.167.255.255", "192.169.0.0", "198.17.255.255", "198.20.0.0", "223.255.255.255",
          // The documentation blocks route nowhere either, but the rule names only the others, and
          // tests elsewhere publish them.
          "192.0.2.1", "198.51.100.23", "203.0.113.7"})
        EXPECT_TRUE(IsPublicAddress(std::string_view(text))) << text;
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
