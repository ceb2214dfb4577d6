#include "detection/SiteUrl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tovra {
namespace {

IpSite Site(std::string host, std::string path, IpSiteScheme scheme = IpSiteScheme::Http,
            std::uint16_t port = 0) {
    return IpSite{std::move(host), std::move(path), scheme, port};
}

SiteFormError Error(std::string_view address, std::string_view path = "/") {
    IpSite site;
    return ParseSiteForm(address, path, site);
}

TEST(SiteUrlTest, EveryWrittenFormBecomesOneCanonicalSite) {
    struct Case {
        const char* address;
        const char* path;
        IpSite expected;
    };
    const Case cases[] = {
        {"ifconfig.me", "/ip", Site("ifconfig.me", "/ip")},
        {"  IfConfig.ME ", "ip", Site("ifconfig.me", "/ip")},
        {"HTTP://ifconfig.me:80", "/ip", Site("ifconfig.me", "/ip")},
        {"http://echo.example:8080", "", Site("echo.example", "/", IpSiteScheme::Http, 8080)},
        {"https://api.ipify.org/", "/", Site("api.ipify.org", "/", IpSiteScheme::Https)},
        {"https://api.ipify.org:443", "/", Site("api.ipify.org", "/", IpSiteScheme::Https)},
        {"api.ipify.org:443", "/?format=text",
         Site("api.ipify.org", "/?format=text", IpSiteScheme::Http, 443)},
        {"192.0.2.7:65535", "/My/IP.html", Site("192.0.2.7", "/My/IP.html", IpSiteScheme::Http, 65535)},
    };
    for (const Case& c : cases) {
        IpSite site;
        EXPECT_EQ(ParseSiteForm(c.address, c.path, site), SiteFormError::None) << c.address;
        EXPECT_EQ(site, c.expected) << c.address;
    }
}

TEST(SiteUrlTest, MalformedSitesAreRefusedWithTheirReason) {
    EXPECT_EQ(Error(""), SiteFormError::NoHost);
    EXPECT_EQ(Error("https://"), SiteFormError::NoHost);
    EXPECT_EQ(Error(":8080"), SiteFormError::NoHost);
    EXPECT_EQ(Error("ftp://ifconfig.me"), SiteFormError::Scheme);
    for (const char* host : {"if_config.me", "ifconfig..me", "-ifconfig.me", "ifconfig-.me", "[::1]",
                             "caf\xc3\xa9.example", "a b.example"})
        EXPECT_EQ(Error(host), SiteFormError::Host) << host;
    EXPECT_EQ(Error(std::string(64, 'a') + ".example"), SiteFormError::Host);
    for (const char* port :
         {"x.example:", "x.example:0", "x.example:65536", "x.example:-1", "x.example:8o", "x.example:000080"})
        EXPECT_EQ(Error(port), SiteFormError::Port) << port;
    EXPECT_EQ(Error("ifconfig.me/ip"), SiteFormError::PathInAddress);
    for (const char* path : {"/my ip", "/ip#top", "/\r\nHost: evil", "/caf\xc3\xa9"})
        EXPECT_EQ(Error("ifconfig.me", path), SiteFormError::Path) << path;
    EXPECT_EQ(Error("ifconfig.me", std::string(257, 'p')), SiteFormError::Path);

    IpSite untouched = Site("kept.example", "/");
    EXPECT_NE(ParseSiteForm("bad host", "/", untouched), SiteFormError::None);
    EXPECT_EQ(untouched, Site("kept.example", "/"));
    EXPECT_FALSE(SiteFormHint(SiteFormError::Port).empty());
}

TEST(SiteUrlTest, ANewSiteMayNotRepeatAListedOneInAnyFormNorOverfillTheList) {
    std::vector<IpSite> listed{Site("ifconfig.me", "/ip"), Site("api.ipify.org", "/", IpSiteScheme::Https)};
    IpSite site;
    EXPECT_EQ(ParseNewSite("http://IFCONFIG.me:80", "ip", listed, site), SiteFormError::Listed);
    EXPECT_EQ(ParseNewSite("https://api.ipify.org:443/", "", listed, site), SiteFormError::Listed);
    EXPECT_EQ(ParseNewSite("ifconfig.me", "/IP", listed, site), SiteFormError::None) << "paths keep case";
    EXPECT_EQ(ParseNewSite("api.ipify.org", "/", listed, site), SiteFormError::None) << "another scheme";
    EXPECT_EQ(site, Site("api.ipify.org", "/"));
    listed.resize(kMaxIpSites, Site("x.example", "/"));
    EXPECT_EQ(ParseNewSite("new.example", "/", listed, site), SiteFormError::ListFull);
}

TEST(SiteUrlTest, UrlOmitsPlainHttpAndDefaultPortsAndReadsBackToTheSameSite) {
    const std::pair<IpSite, const char*> cases[] = {
        {Site("ifconfig.me", "/ip"), "ifconfig.me/ip"},
        {Site("api.ipify.org", "/", IpSiteScheme::Https), "https://api.ipify.org/"},
        {Site("echo.example", "/a?b=c", IpSiteScheme::Http, 8080), "echo.example:8080/a?b=c"},
        {Site("echo.example", "/", IpSiteScheme::Https, 80), "https://echo.example:80/"},
    };
    for (const auto& [site, url] : cases) {
        EXPECT_EQ(SiteUrl(site), url);
        IpSite back;
        EXPECT_EQ(ParseSiteUrl(url, back), SiteFormError::None) << url;
        EXPECT_EQ(back, site) << url;
    }
    IpSite bare;
    EXPECT_EQ(ParseSiteUrl("https://Echo.Example:8443", bare), SiteFormError::None);
    EXPECT_EQ(bare, Site("echo.example", "/", IpSiteScheme::Https, 8443));
    EXPECT_EQ(ParseSiteUrl("gopher://echo.example/", bare), SiteFormError::Scheme);
}

} // namespace
} // namespace tovra
