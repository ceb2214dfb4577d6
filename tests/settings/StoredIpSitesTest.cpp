#include "settings/StoredIpSites.h"

#include "detection/SiteUrl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tovra {
namespace {

using namespace std::string_literals;
using Sites = std::vector<IpSite>;

TEST(StoredIpSitesTest, AListIsStoredAsAMultiStringOfUrlsAndReadBackInItsOrder) {
    const Sites sites{{"ifconfig.me", "/ip"},
                      {"api.ipify.org", "/", IpSiteScheme::Https, 0},
                      {"echo.example", "/a?b", IpSiteScheme::Http, 8080}};
    const std::string bytes = EncodeIpSites(sites);
    EXPECT_EQ(bytes, "ifconfig.me/ip\0https://api.ipify.org/\0echo.example:8080/a?b\0\0"s);
    EXPECT_EQ(DecodeIpSites(bytes), sites);

    EXPECT_EQ(EncodeIpSites({}), "\0"s);
    for (const std::string& empty : {""s, "\0"s, "\0\0"s})
        EXPECT_EQ(DecodeIpSites(empty), Sites{}) << "the user removed every site";

    // Full of the longest sites the dialog takes, the value still fits what is read back.
    const IpSite longest{std::string(63, 'h') + "." + std::string(63, 'o') + "." + std::string(63, 's') +
                             "." + std::string(61, 't'),
                         "/" + std::string(255, 'p'), IpSiteScheme::Https, 65535};
    Sites full;
    for (std::size_t i = 0; i < kMaxIpSites; ++i) {
        full.push_back(longest);
        full.back().path.back() = static_cast<char>('a' + i % 26);
        full.back().port = static_cast<std::uint16_t>(1000 + i);
    }
    EXPECT_LE(EncodeIpSites(full).size(), kMaxStoredIpSitesBytes);
    EXPECT_EQ(DecodeIpSites(EncodeIpSites(full)), full);
}

TEST(StoredIpSitesTest, DamagedValuesCountAsMissingAndBadEntriesAreLeftOut) {
    EXPECT_EQ(DecodeIpSites("ifconfig.me/ip"s), std::nullopt) << "not terminated";
    EXPECT_EQ(DecodeIpSites("ifconfig.me/ip\0api.ipify.org/"s), std::nullopt) << "last text cut";
    EXPECT_EQ(DecodeIpSites(std::string(kMaxStoredIpSitesBytes + 1, '\0')), std::nullopt) << "oversized";

    EXPECT_EQ(DecodeIpSites("ifconfig.me/ip\0"s), (Sites{{"ifconfig.me", "/ip"}})) << "list end left out";
    EXPECT_EQ(DecodeIpSites(
                  "bad host/\0ifconfig.me/ip\0IFCONFIG.ME:80/ip\0/\r\n\0a.example/\0\0after.example/\0\0"s),
              (Sites{{"ifconfig.me", "/ip"}, {"a.example", "/"}}));

    std::string many;
    for (std::size_t i = 0; i <= kMaxIpSites; ++i)
        many += "s" + std::to_string(i) + ".example/"s + '\0';
    EXPECT_EQ(DecodeIpSites(many)->size(), kMaxIpSites);
}

} // namespace
} // namespace tovra
