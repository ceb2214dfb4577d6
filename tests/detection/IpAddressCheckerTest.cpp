// The checker through the real WinINet path: Wine's WinINet sends every lookup to a loopback proxy
// that plays the echo sites, answering per host name.

#include "detection/IpAddressChecker.h"
#include "detection/PublicAddress.h"
#include "resources/ResourceIds.h"
#include "tests/detection/RecordingOwner.h"
#include "tests/support/EchoProxyServer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace tovra {
namespace {

using test::Detected;
using test::Icon;
using test::Log;
using test::OwnerCall;
using test::RecordingOwner;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using ::testing::StartsWith;
using Clock = std::chrono::steady_clock;

std::string Asking(const IpSite& site) {
    return "Asking " + site.host + site.path + " for my IP Address...";
}
std::string Insists(const IpSite& site, const std::string& address) {
    return site.host + site.path + " insists that I am " + address;
}
// A condition for RecordingOwner::WaitFor: the latest call so far is `expected`.
auto LastCallIs(OwnerCall expected) {
    return [expected = std::move(expected)](const std::vector<OwnerCall>& calls) {
        return !calls.empty() && calls.back() == expected;
    };
}
long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The machine's own IPv6 address as the tests see it: none, unless a test says otherwise, so that
// what they expect does not depend on the network of the machine they run on.
std::string NoIpv6Address() {
    return {};
}
std::string DocumentationIpv6Address() {
    return "2001:db8::7";
}

class IpAddressCheckerTest : public ::testing::Test {
protected:
    void SetUp() override { echo_.UseAsProxyForThisProcess(); }

    void TearDown() override {
        if (checker_) {
            EXPECT_TRUE(checker_->Stop(2000));
        }
    }

    CIpAddressChecker& Start(bool useWeb, bool displayOnly,
                             DWORD deadlineMs = CIpAddressChecker::kLookupDeadlineMs,
                             std::vector<IpSite> sites = DefaultIpSites(),
                             CIpAddressChecker::Ipv6Source findIpv6 = &NoIpv6Address) {
        checker_ = std::make_shared<CIpAddressChecker>(owner_, std::move(sites), deadlineMs, findIpv6);
        checker_->RequestCheck(useWeb, displayOnly);
        EXPECT_TRUE(checker_->Start());
        return *checker_;
    }

    std::vector<std::string> AskedHosts() {
        std::vector<std::string> hosts;
        for (const test::EchoRequest& request : echo_.Requests())
            hosts.push_back(request.host);
        return hosts;
    }

    const std::vector<IpSite> sites_ = DefaultIpSites();
    test::EchoProxyServer echo_;
    std::shared_ptr<RecordingOwner> owner_ = std::make_shared<RecordingOwner>();
    std::shared_ptr<CIpAddressChecker> checker_;
};

TEST_F(IpAddressCheckerTest, BuiltInSitesAreFiveDistinctHostsAndTheFirstHasAPath) {
    ASSERT_THAT(sites_, SizeIs(5));
    for (std::size_t i = 0; i < sites_.size(); ++i) {
        EXPECT_EQ(sites_[i].path.front(), '/');
        for (std::size_t j = i + 1; j < sites_.size(); ++j)
            EXPECT_NE(sites_[i].host, sites_[j].host);
    }
    EXPECT_NE(sites_[0].path, "/");
}

// The first check needs no request after Start(); the first site that answers ends the check, and
// the others are never contacted.
TEST_F(IpAddressCheckerTest, StartRunsTheRequestedCheck) {
    echo_.Answer(sites_[0].host, 200, "84.12.3.7\n");
    Start(true, false);
    ASSERT_TRUE(owner_->WaitFor(LastCallIs(Icon(IDI_TRAY_NORMAL))));

    EXPECT_THAT(owner_->Calls(),
                ElementsAre(Icon(IDI_TRAY_BUSY), Log(Asking(sites_[0])), Log(Insists(sites_[0], "84.12.3.7")),
                            Detected("84.12.3.7", false), Icon(IDI_TRAY_NORMAL)));
    EXPECT_THAT(AskedHosts(), ElementsAre(sites_[0].host));
}

TEST_F(IpAddressCheckerTest, TheSiteSeesAPlainGetOfItsPathWithTheAgentTovra) {
    echo_.Answer(sites_[0].host, 200, "84.12.3.7");
    Start(true, true);
    ASSERT_TRUE(owner_->WaitForResults(1));

    const std::vector<test::EchoRequest> requests = echo_.Requests();
    ASSERT_THAT(requests, SizeIs(1));
    EXPECT_THAT(requests[0].requestLine, ::testing::StartsWith("GET http://" + sites_[0].host));
    EXPECT_THAT(requests[0].requestLine, ::testing::EndsWith(sites_[0].path + " HTTP/1.1"));
    EXPECT_EQ(requests[0].host, sites_[0].host);
    EXPECT_EQ(requests[0].userAgent, "Tovra");
}

// Only a 2xx page that names an address counts; anything else moves on to the next site, in order.
TEST_F(IpAddressCheckerTest, SitesAreAskedInOrderUntilOneNamesAnAddress) {
    echo_.Answer(sites_[0].host, 404, "Not found, but here is 10.9.9.9");
    echo_.Drop(sites_[1].host);
    echo_.Answer(sites_[2].host, 200, "<html>0.0.0.0 Current IP Address: 84.1.2.3</html>");
    echo_.Answer(sites_[3].host, 200, "84.4.4.4");
    Start(true, false);
    ASSERT_TRUE(owner_->WaitForResults(1));

    EXPECT_THAT(owner_->LogLines(),
                ElementsAre(Asking(sites_[0]), "ifconfig.me/ip answered with HTTP status 404.",
                            Asking(sites_[1]), "checkip.dyndns.org/ gave no answer.", Asking(sites_[2]),
                            Insists(sites_[2], "84.1.2.3")));
    EXPECT_THAT(owner_->Results(), ElementsAre(Detected("84.1.2.3", false)));
    EXPECT_THAT(AskedHosts(), ElementsAre(sites_[0].host, sites_[1].host, sites_[2].host));
}

// A site behind the same NAT, or a proxy's own page, can name an address no visitor reaches:
// it is passed over with a line, and the next site is asked.
TEST_F(IpAddressCheckerTest, AnAnswerNamingAnUnreachableAddressIsPassedOver) {
    echo_.Answer(sites_[0].host, 200, "192.168.1.20");
    echo_.Answer(sites_[1].host, 200, "Current IP Address: 100.72.9.1");
    echo_.Answer(sites_[2].host, 200, "84.1.2.3");
    Start(true, false);
    ASSERT_TRUE(owner_->WaitForResults(1));

    EXPECT_THAT(owner_->LogLines(),
                ElementsAre(Asking(sites_[0]),
                            "ifconfig.me/ip named 192.168.1.20, a private network address that visitors "
                            "from the internet cannot reach; its answer was passed over.",
                            Asking(sites_[1]),
                            "checkip.dyndns.org/ named 100.72.9.1, a shared address of the provider's "
                            "network (carrier-grade NAT) that visitors from the internet cannot reach; "
                            "its answer was passed over.",
                            Asking(sites_[2]), Insists(sites_[2], "84.1.2.3")));
    EXPECT_THAT(owner_->Results(), ElementsAre(Detected("84.1.2.3", false)));
}

// After each site that gives no address, one line says why.
TEST_F(IpAddressCheckerTest, WhenEverySiteFailsEachSaysWhyAndTheResultIsEmpty) {
    echo_.Answer(sites_[0].host, 404, "84.9.9.9");
    echo_.Answer(sites_[1].host, 500, "");
    echo_.Drop(sites_[2].host);
    echo_.Answer(sites_[3].host, 200, "no address in here, only 12.3.4 and 1.2.3.4.5");
    // sites_[4] is not configured: the proxy answers 502.
    Start(true, false);
    ASSERT_TRUE(owner_->WaitForResults(1));

    EXPECT_THAT(owner_->LogLines(),
                ElementsAre(Asking(sites_[0]), "ifconfig.me/ip answered with HTTP status 404.",
                            Asking(sites_[1]), "checkip.dyndns.org/ answered with HTTP status 500.",
                            Asking(sites_[2]), "api.ipify.org/ gave no answer.", Asking(sites_[3]),
                            "ipv4.icanhazip.com/ answered, but there is no IPv4 address on its page.",
                            Asking(sites_[4]), "ip1.dynupdate.no-ip.com/ answered with HTTP status 502."));
    EXPECT_THAT(owner_->Results(), ElementsAre(Detected("", false)));
}

// The user's list replaces the built-in one from the next check on, asked in its own order; an
// empty list asks nobody and says so.
TEST_F(IpAddressCheckerTest, ANewSiteListIsAskedInItsOrderFromTheNextCheck) {
    echo_.Answer("b.example", 200, "84.2.2.2");
    Start(true, true, CIpAddressChecker::kLookupDeadlineMs, {{"a.example", "/"}});
    ASSERT_TRUE(owner_->WaitForResults(1));
    owner_->SetSites(
        {{"c.example", "/ip"}, {"b.example", "/x", IpSiteScheme::Http, 8080}, {"a.example", "/"}});
    checker_->RequestCheck(true, true);
    ASSERT_TRUE(owner_->WaitForResults(2));
    owner_->SetSites({});
    checker_->RequestCheck(true, true);
    ASSERT_TRUE(owner_->WaitForResults(3));

    EXPECT_THAT(
        owner_->LogLines(),
        ElementsAre("Asking a.example/ for my IP Address...", "a.example/ answered with HTTP status 502.",
                    "Asking c.example/ip for my IP Address...", "c.example/ip answered with HTTP status 502.",
                    "Asking b.example:8080/x for my IP Address...",
                    "b.example:8080/x insists that I am 84.2.2.2", CIpAddressChecker::kNoSitesLine));
    EXPECT_THAT(owner_->Results(),
                ElementsAre(Detected("", true), Detected("84.2.2.2", true), Detected("", true)));
    EXPECT_THAT(AskedHosts(), ElementsAre("a.example", "c.example", "b.example:8080"));
}

// Hosts that bypass the proxy fail in WinINet itself: name resolution, then a refused connection.
TEST_F(IpAddressCheckerTest, AnUnresolvableHostAndARefusedConnectionMoveOnToTheNextSite) {
    const std::vector<IpSite> sites = {{"nowhere.invalid", "/"}, {"127.0.0.1", "/"}, {"api.ipify.org", "/"}};
    echo_.SetNoProxy("nowhere.invalid,127.0.0.1");
    echo_.Answer("api.ipify.org", 200, "192.0.2.1");
    Start(true, false, CIpAddressChecker::kLookupDeadlineMs, sites);
    ASSERT_TRUE(owner_->WaitForResults(1));

    EXPECT_THAT(owner_->LogLines(),
                ElementsAre(Asking(sites[0]), StartsWith("nowhere.invalid/ "), Asking(sites[1]),
                            StartsWith("127.0.0.1/ "), Asking(sites[2]), Insists(sites[2], "192.0.2.1")));
    EXPECT_THAT(owner_->Results(), ElementsAre(Detected("192.0.2.1", false)));
}

// The page is read until the buffer is full, however the body arrives; an address that begins
// just before the end of what is searched is read whole.
TEST_F(IpAddressCheckerTest, LongPagesAreSearchedOnlyAtTheirStartButNeverCutAnAddress) {
    echo_.Answer(sites_[0].host, 200, std::string(7000, 'x') + " 10.7.7.7");
    echo_.Answer(sites_[1].host, 200, std::string(6131, 'x') + "1.2.3.45 " + std::string(20000, 'y'));
    Start(true, false);
    ASSERT_TRUE(owner_->WaitForResults(1));

    EXPECT_THAT(owner_->LogLines(),
                ElementsAre(Asking(sites_[0]),
                            "ifconfig.me/ip answered, but there is no IPv4 address on its page.",
                            Asking(sites_[1]), Insists(sites_[1], "1.2.3.45")));
}

// A site that accepts and never answers costs one deadline, then the next site is asked.
TEST_F(IpAddressCheckerTest, AHangingSiteIsGivenUpAtTheDeadline) {
    constexpr DWORD kDeadlineMs = 1500;
    echo_.Hang(sites_[0].host);
    echo_.HangAfterHeaders(sites_[1].host, "10.");
    echo_.Answer(sites_[2].host, 200, "84.1.2.3");
    const Clock::time_point start = Clock::now();
    Start(true, false, kDeadlineMs);
    ASSERT_TRUE(owner_->WaitForResults(1));
    const long long elapsed = MillisecondsSince(start);

    EXPECT_THAT(owner_->Results(), ElementsAre(Detected("84.1.2.3", false)));
    EXPECT_THAT(owner_->LogLines(),
                ElementsAre(Asking(sites_[0]), "ifconfig.me/ip gave no answer within 2 seconds.",
                            Asking(sites_[1]), "checkip.dyndns.org/ gave no answer within 2 seconds.",
                            Asking(sites_[2]), Insists(sites_[2], "84.1.2.3")));
    EXPECT_GE(elapsed, 2 * kDeadlineMs - 100);
    EXPECT_LT(elapsed, 2 * kDeadlineMs + 3000);
}

// Stopping does not wait for the network, and once Stop() has returned the owner hears nothing,
// not even when the abandoned lookup ends.
TEST_F(IpAddressCheckerTest, StopDuringAHangingLookupIsPromptAndSilent) {
    echo_.Hang(sites_[0].host);
    Start(true, false);
    ASSERT_TRUE(owner_->WaitFor(LastCallIs(Log(Asking(sites_[0])))));

    // The bounded join succeeding is the promptness: the thread has ended within it.
    EXPECT_TRUE(checker_->Stop(1000));
    EXPECT_FALSE(checker_->IsRunning());
    const std::size_t callsAtStop = owner_->Calls().size();

    echo_.Stop(); // ends the hanging exchange
    checker_->RequestCheck(true, false);
    EXPECT_EQ(owner_->Calls().size(), callsAtStop);
    EXPECT_THAT(owner_->Results(), IsEmpty());
}

TEST_F(IpAddressCheckerTest, StopWhileIdleIsPrompt) {
    Start(true, true);
    ASSERT_TRUE(owner_->WaitForResults(1));
    EXPECT_TRUE(checker_->Stop(1000));
    EXPECT_FALSE(checker_->IsRunning());
}

// A request made while a check runs leaves that check as it was and makes exactly one more check,
// in the latest request's source, and never display-only when any of them was to post.
TEST_F(IpAddressCheckerTest, RequestsDuringACheckMakeOneFurtherCheck) {
    echo_.Answer(sites_[0].host, 200, "84.12.3.7");
    owner_->HoldResults();
    Start(true, false);
    ASSERT_TRUE(owner_->WaitForResults(1));

    checker_->RequestCheck(true, true);   // web, display only
    checker_->RequestCheck(false, false); // local, to post
    checker_->RequestCheck(false, true);  // local, display only: must not demote the post
    owner_->Release();
    ASSERT_TRUE(owner_->WaitForResults(2));
    ASSERT_TRUE(owner_->WaitFor(LastCallIs(Icon(IDI_TRAY_NORMAL))));

    // One more request proves that nothing else was waiting: it is the third check.
    checker_->RequestCheck(true, true);
    ASSERT_TRUE(owner_->WaitForResults(3));

    const std::vector<OwnerCall> results = owner_->Results();
    ASSERT_THAT(results, SizeIs(3));
    EXPECT_EQ(results[0], Detected("84.12.3.7", false));
    EXPECT_EQ(results[1].number, 0) << "the second check must still post";
    EXPECT_EQ(results[2], Detected("84.12.3.7", true));
    // The second check was local: it asked no site.
    EXPECT_THAT(AskedHosts(), ElementsAre(sites_[0].host, sites_[0].host));
}

TEST_F(IpAddressCheckerTest, ALaterRequestIsTakenUpWhenIdle) {
    echo_.Answer(sites_[0].host, 200, "84.12.3.7");
    Start(true, false);
    ASSERT_TRUE(owner_->WaitForResults(1));

    // How soon is the benchmark's business; here only that the idle loop does take it up, with
    // its own mode. Waiting for the result rather than for the busy icon: a fast check shows and
    // clears the icon between two looks.
    checker_->RequestCheck(true, true);
    ASSERT_TRUE(owner_->WaitForResults(2));
    EXPECT_THAT(owner_->Results(), ElementsAre(Detected("84.12.3.7", false), Detected("84.12.3.7", true)));
}

// An exception from the owner ends that check only: the busy icon goes and the next request runs.
TEST_F(IpAddressCheckerTest, AnOwnerThatThrowsDoesNotEndTheChecker) {
    echo_.Answer(sites_[0].host, 200, "84.12.3.7");
    owner_->FailNextResult();
    Start(true, false);
    ASSERT_TRUE(owner_->WaitFor(LastCallIs(Icon(IDI_TRAY_NORMAL))));

    checker_->RequestCheck(true, true);
    ASSERT_TRUE(owner_->WaitForResults(2));
    EXPECT_THAT(owner_->Results(), ElementsAre(Detected("84.12.3.7", false), Detected("84.12.3.7", true)));
}

TEST_F(IpAddressCheckerTest, EveryCheckAlsoReportsTheIpv6AddressWithALineOfItsOwn) {
    echo_.Answer(sites_[0].host, 200, "84.12.3.7");
    Start(true, false, CIpAddressChecker::kLookupDeadlineMs, DefaultIpSites(), &DocumentationIpv6Address);
    ASSERT_TRUE(owner_->WaitForResults(1));
    checker_->RequestCheck(false, true);
    ASSERT_TRUE(owner_->WaitForResults(2));
    const std::vector<std::string> lines = owner_->LogLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], sites_[0].host + sites_[0].path + " insists that I am 84.12.3.7");
    EXPECT_EQ(lines[2], "Found IPv6 Address of 2001:db8::7");
    EXPECT_EQ(lines.back(), "Found IPv6 Address of 2001:db8::7");
    const std::vector<OwnerCall> results = owner_->Results();
    EXPECT_EQ(results[0], Detected("84.12.3.7", false, "2001:db8::7"));
    EXPECT_EQ(results[1].ipv6, "2001:db8::7");
}

TEST_F(IpAddressCheckerTest, ALocalCheckAsksNoSite) {
    Start(false, true);
    ASSERT_TRUE(owner_->WaitForResults(1));
    const std::vector<OwnerCall> results = owner_->Results();
    EXPECT_EQ(results[0].number, 1);
    EXPECT_EQ(results[0].text, CIpAddressChecker::FindLocalAddress());
    EXPECT_THAT(AskedHosts(), IsEmpty());
    // A found address is logged, and one that no visitor reaches is still reported, with a line
    // that says so; an empty one is not logged.
    const std::vector<std::string> lines = owner_->LogLines();
    const std::string& found = results[0].text;
    if (found.empty()) {
        EXPECT_THAT(lines, IsEmpty());
    } else if (IsPublicAddress(found)) {
        EXPECT_THAT(lines, ElementsAre("Found Local IP Address of " + found));
    } else {
        EXPECT_THAT(lines, ElementsAre("Found Local IP Address of " + found, StartsWith(found + " is a")));
        EXPECT_THAT(lines[1], ::testing::EndsWith(" that visitors from the internet cannot reach."));
    }
}

} // namespace
} // namespace tovra
