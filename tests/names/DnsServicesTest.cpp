// The three services' exchanges over real TLS, against fake services written from the providers'
// documentation: the request each one sees, and what its answers lead to.

#include "framework/Win32Handles.h"
#include "names/NameUpdater.h"
#include "names/WinHttpsTransport.h"
#include "tests/support/DnsServiceFake.h"
#include "tests/support/TrustedAuthority.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tovra {
namespace {

using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using Result = UpdateOutcome::Result;

constexpr char kSecret[] = "s3cr3t-T0ken";

class DnsServicesTest : public ::testing::Test {
protected:
    DnsName Name(DnsService service, std::string host) const {
        DnsName name;
        name.service = service;
        name.hostName = std::move(host);
        name.server = service_.Server();
        name.account = service == DnsService::Dyndns2 ? "ann" : "";
        name.secret = kSecret;
        return name;
    }

    test::DnsServiceFake service_{"ann", kSecret};
    const test::TrustedAuthority trust_{service_.AuthorityCertificate()};
    const UniqueKernelHandle stop_{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    WinHttpsTransport transport_{stop_.get(), 10000};
};

TEST_F(DnsServicesTest, EachServiceIsUpdatedAsItsProviderDocuments) {
    const DnsName dyndns = Name(DnsService::Dyndns2, "home.example.net");
    const UpdateOutcome first = UpdateName(dyndns, {"84.1.2.3", "2001:db8::7"}, transport_);
    EXPECT_EQ(first.result, Result::Updated) << first.reason;
    EXPECT_FALSE(first.sentIpv6) << "no documented IPv6 parameter for this server";
    EXPECT_EQ(UpdateName(dyndns, {"84.1.2.3", ""}, transport_).result, Result::Current);

    EXPECT_EQ(
        UpdateName(Name(DnsService::DuckDns, "mine.duckdns.org"), {"84.1.2.3", "2001:db8::7"}, transport_)
            .result,
        Result::Updated);

    service_.Zone("example.com", "zone1");
    service_.Record("zone1", "A", "pc.example.com", "recA", "192.0.2.1");
    service_.Record("zone1", "AAAA", "pc.example.com", "recAAAA", "2001:db8::1");
    EXPECT_EQ(
        UpdateName(Name(DnsService::Cloudflare, "pc.example.com"), {"84.1.2.3", "2001:db8::7"}, transport_)
            .result,
        Result::Updated);
    EXPECT_EQ(service_.Content("recA"), "84.1.2.3");
    EXPECT_EQ(service_.Content("recAAAA"), "2001:db8::7");

    const std::vector<test::DnsServiceRequest> seen = service_.Requests();
    ASSERT_EQ(seen.size(), 9u);
    EXPECT_EQ(seen[0].path, "/nic/update?hostname=home.example.net&myip=84.1.2.3");
    EXPECT_THAT(seen[0].userAgent, MatchesRegex("Brannik Tovra/\\d+\\.\\d+\\.\\d+"));
}

// Refusals by the wire's own means (a 401 sign-in, a 403 token, KO) stop the name; a 429's
// Retry-After header makes it wait. Every other answer is in ServiceClientsTest.
TEST_F(DnsServicesTest, RefusalsStopTheNameAndTroubleMakesItWait) {
    DnsName wrong = Name(DnsService::Dyndns2, "home.example.net");
    wrong.secret = "guess";
    const UpdateOutcome badauth = UpdateName(wrong, {"84.1.2.3", ""}, transport_);
    EXPECT_EQ(badauth.result, Result::Stopped);
    EXPECT_EQ(badauth.stopCode, "badauth");

    DnsName duck = Name(DnsService::DuckDns, "mine");
    duck.secret = "guess";
    EXPECT_EQ(UpdateName(duck, {"84.1.2.3", ""}, transport_).stopCode, "KO");

    DnsName cloud = Name(DnsService::Cloudflare, "pc.example.com");
    cloud.secret = "guess";
    EXPECT_EQ(UpdateName(cloud, {"84.1.2.3", ""}, transport_).stopCode, "HTTP 403");

    service_.Answer("cloudflare", 429, R"({"success":false,"errors":[{"message":"rate limited"}]})", "90");
    const UpdateOutcome limited =
        UpdateName(Name(DnsService::Cloudflare, "pc.example.com"), {"84.1.2.3", ""}, transport_);
    EXPECT_EQ(limited.result, Result::Wait);
    EXPECT_EQ(limited.waitSeconds, 90u);
}

// The secret goes only to a service whose certificate Windows trusts for its name.
TEST_F(DnsServicesTest, AnUntrustedServiceIsNeverSentTheSecret) {
    test::DnsServiceFake untrusted("ann", kSecret);
    DnsName name = Name(DnsService::DuckDns, "mine");
    name.server = untrusted.Server();
    const UpdateOutcome outcome = UpdateName(name, {"84.1.2.3", ""}, transport_);
    EXPECT_EQ(outcome.result, Result::Wait);
    EXPECT_THAT(outcome.reason, HasSubstr("is not trusted"));
    EXPECT_TRUE(untrusted.Requests().empty());

    name.server = "127.0.0.1:" + std::to_string(service_.Port());
    EXPECT_THAT(UpdateName(name, {"84.1.2.3", ""}, transport_).reason, HasSubstr("is not trusted"));
}

} // namespace
} // namespace tovra
