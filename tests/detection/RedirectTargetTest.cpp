#include "detection/RedirectTarget.h"

#include <gtest/gtest.h>

namespace tovra {
namespace {

const IpSite kFrom{"echo.example", "/a/ip?x=1", IpSiteScheme::Http, 8080};

TEST(RedirectTarget, ResolvesAbsoluteSchemeRelativeAndRelativeTargets) {
    const struct {
        const char* location;
        IpSite expected;
    } cases[] = {
        {"http://other.example/ip", {"other.example", "/ip"}},
        {"HTTPS://Other.example:8443", {"Other.example", "/", IpSiteScheme::Https, 8443}},
        {"https://other.example?q", {"other.example", "/?q", IpSiteScheme::Https}},
        {"//other.example/ip#top", {"other.example", "/ip"}},
        {"/b/ip", {"echo.example", "/b/ip", IpSiteScheme::Http, 8080}},
        {"plain", {"echo.example", "/a/plain", IpSiteScheme::Http, 8080}},
        {"?y=2", {"echo.example", "/a/ip?y=2", IpSiteScheme::Http, 8080}},
        {"  /padded \r\n", {"echo.example", "/padded", IpSiteScheme::Http, 8080}},
    };
    for (const auto& c : cases) {
        const std::optional<IpSite> target = RedirectTarget(kFrom, c.location);
        ASSERT_TRUE(target.has_value()) << c.location;
        EXPECT_EQ(*target, c.expected) << c.location;
    }
}

// Anything that is not plainly an http or https page on a host is no target at all.
TEST(RedirectTarget, RefusesOtherSchemesDowngradesAndMalformedTargets) {
    for (const char* location :
         {"", "   ", "ftp://other.example/", "file:///c:/x", "javascript:alert(1)", "http://", "http:///ip",
          "http://user:pw@other.example/", "http://other.example:0/", "http://other.example:65536/",
          "http://other.example:80x/", "http://bad host/", "http://other.example/a b", "/a\r\nX-Evil: 1",
          "http://other\\example/"}) {
        EXPECT_FALSE(RedirectTarget(kFrom, location).has_value()) << location;
    }
    const IpSite secure{"echo.example", "/", IpSiteScheme::Https};
    EXPECT_FALSE(RedirectTarget(secure, "http://echo.example/").has_value());
    EXPECT_EQ(RedirectTarget(secure, "/ip")->scheme, IpSiteScheme::Https);
}

} // namespace
} // namespace tovra
