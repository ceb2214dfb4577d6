#include "tests/support/SampleTime.h"
#include "upload/TemplateExpander.h"

#include <gtest/gtest.h>

#include <string>

namespace tovra {
namespace {

using test::Evening;

std::string Expand(std::string page, std::string_view address = "203.0.113.7",
                   std::string_view ipv6Address = "2001:db8::7") {
    ExpandTemplate(page, address, ipv6Address, Evening());
    return page;
}

TEST(TemplateExpander, FillsAddressTimeAndDate) {
    EXPECT_EQ(Expand("IP <ipaddress> at <time> on <date>"),
              "IP 203.0.113.7 at 09:05:07 PM on Monday, 07 December, 2026");
    EXPECT_EQ(
        Expand("<IPAddress>|<IPaddress>|<IpAddress>|<ipAddress>|<ipaddress>|<Time>|<Date>"),
        "203.0.113.7|203.0.113.7|203.0.113.7|203.0.113.7|203.0.113.7|09:05:07 PM|Monday, 07 December, 2026");
}

TEST(TemplateExpander, MatchesOnlyTheExactSpellings) {
    const std::string untouched =
        "<IPADDRESS> <Ipaddress> < ipaddress> <ipaddress <TIME> <DATE> <Time > ipaddress";
    EXPECT_EQ(Expand(untouched), untouched);
}

TEST(TemplateExpander, ReplacesEveryOccurrenceWithTheSameTexts) {
    EXPECT_EQ(Expand("<IPAddress><IPAddress>"), "203.0.113.7203.0.113.7");
    EXPECT_EQ(Expand("<time>,<Time>,<time>;<date>,<Date>"),
              "09:05:07 PM,09:05:07 PM,09:05:07 PM;Monday, 07 December, 2026,Monday, 07 December, 2026");
}

TEST(TemplateExpander, FillsTheIpv6AddressAfterTheOthersAndUnbracketed) {
    EXPECT_EQ(Expand("<a href=\"http://[<IPv6Address>]/\"><ipv6address></a> or <ipaddress>"),
              "<a href=\"http://[2001:db8::7]/\">2001:db8::7</a> or 203.0.113.7");
    EXPECT_EQ(Expand("<IPV6Address> <Ipv6Address> <IPv6address>"),
              "<IPV6Address> <Ipv6Address> <IPv6address>");
    // After the time and date, so a time placeholder the IPv6 text brought in would stay as it is.
    EXPECT_EQ(Expand("<<IPv6Address>time>", "", ""), "<time>");
    EXPECT_EQ(Expand("[<IPv6Address>]", "203.0.113.7", ""), "[]");
}

TEST(TemplateExpander, EmptyAddressRemovesTheAddressPlaceholders) {
    EXPECT_EQ(Expand("[<IPAddress><ipaddress>]", ""), "[]");
    EXPECT_EQ(Expand("", ""), "");
}

TEST(TemplateExpander, PlaceholdersAreReplacedOneKindAfterAnother) {
    // Each kind is replaced over the whole page in turn, so a placeholder that only appears once
    // an earlier kind is gone is replaced too, and an address that looks like a placeholder is not
    // mistaken for the template's own text in its own pass.
    EXPECT_EQ(Expand("<<ipaddress>Time>", ""), "09:05:07 PM");
    EXPECT_EQ(Expand("<IPAddress>", "<IPAddress>"), "<IPAddress>");
}

TEST(TemplateExpander, ChunksAreTakenUpToTheirFirstZeroByte) {
    std::string page;
    const char first[] = {'a', 'b', '\0', 'c'};
    const char second[] = {'d', 'e'};
    AppendChunkText(page, first, sizeof first);
    AppendChunkText(page, second, sizeof second);
    EXPECT_EQ(page, "abde");
}

TEST(TemplateExpander, LargePagesKeepEverythingAroundThePlaceholders) {
    std::string page;
    std::string expected;
    for (int i = 0; i < 2000; ++i) {
        page += "line " + std::to_string(i) + " <IPAddress>\r\n";
        expected += "line " + std::to_string(i) + " 1.2.3.4\r\n";
    }
    EXPECT_EQ(Expand(page, "1.2.3.4"), expected);
}

} // namespace
} // namespace tovra
