// The polite rules across checks: what is sent when, and what every line may and may not say.

#include "names/NameUpdater.h"
#include "tests/names/ScriptedTransport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tovra {
namespace {

using test::ScriptedTransport;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr char kSecret[] = "pa55-w0rd";

class NameUpdaterTest : public ::testing::Test {
protected:
    NameUpdaterTest() {
        name_.hostName = "home.example.net";
        name_.server = "dyn.example.org";
        name_.account = "ann";
        name_.secret = kSecret;
    }

    NameUpdater::Report Update(const NameAddresses& addresses = {"84.1.2.3", ""}) {
        NameUpdater::Report report = updater_.Update(name_, addresses, service_, now_);
        lines_.push_back(report.line);
        return report;
    }

    NameUpdater updater_{[](std::int64_t seconds) { return "T+" + std::to_string(seconds); }};
    DnsName name_;
    ScriptedTransport service_;
    std::int64_t now_ = 1000;
    std::vector<std::string> lines_;
};

// Once the service has the address, checks that find it again send nothing, whatever else
// happens; a new address is sent at once.
TEST_F(NameUpdaterTest, OnlyAChangedAddressIsSent) {
    service_.Then(200, "good 84.1.2.3").Then(200, "good 84.9.9.9");
    EXPECT_TRUE(Update().recordChanged);
    EXPECT_EQ(name_.lastAddress, "84.1.2.3");
    const NameUpdater::Report again = Update();
    EXPECT_FALSE(again.failed);
    EXPECT_EQ(service_.requests.size(), 1u);
    Update({"84.9.9.9", ""});
    EXPECT_EQ(service_.requests.size(), 2u);
    EXPECT_THAT(lines_, ::testing::ElementsAre("home.example.net updated to 84.1.2.3.",
                                               "home.example.net is already current at 84.1.2.3.",
                                               "home.example.net updated to 84.9.9.9."));
}

// A refusal is kept in the record (and so in the registry) and sends nothing more; a record whose
// settings changed comes without it, and is tried again.
TEST_F(NameUpdaterTest, ARefusalStopsTheNameUntilItsSettingsChange) {
    service_.Then(200, "badauth").Then(200, "good 84.1.2.3");
    const NameUpdater::Report refused = Update();
    EXPECT_TRUE(refused.failed);
    EXPECT_TRUE(refused.recordChanged);
    EXPECT_EQ(name_.stopped, "badauth");
    EXPECT_THAT(refused.line, HasSubstr("the account name or the password is wrong"));
    Update({"84.9.9.9", ""});
    EXPECT_EQ(service_.requests.size(), 1u);

    DnsName edited = name_;
    edited.secret = "another";
    edited.stopped.clear();
    EXPECT_FALSE(SameSettings(edited, name_));
    name_ = edited;
    EXPECT_FALSE(Update().failed);
    EXPECT_EQ(service_.requests.size(), 2u);
}

TEST_F(NameUpdaterTest, AServiceInTroubleIsLeftAloneForThirtyMinutes) {
    service_.Then(200, "911").Then(200, "good 84.1.2.3");
    EXPECT_EQ(Update().line,
              "home.example.net was not updated: the service answered \"911\": the service is in "
              "trouble; will retry at T+2800.");
    now_ += kTroubleWaitSeconds - 1;
    EXPECT_TRUE(Update().failed);
    EXPECT_EQ(service_.requests.size(), 1u);
    now_ += 1;
    EXPECT_FALSE(Update().failed);
    EXPECT_EQ(service_.requests.size(), 2u);
}

// Nothing the program writes, and nothing a service sends back, brings the secret into a line.
TEST_F(NameUpdaterTest, NoLineEverCarriesTheSecret) {
    name_.service = DnsService::Cloudflare;
    service_.Then(200, R"({"success":false,"errors":[{"message":"bad token pa55-w0rd"}]})");
    Update();
    name_.service = DnsService::DuckDns;
    service_.Then(200, "KO");
    Update();
    for (const std::string& line : lines_) {
        EXPECT_FALSE(line.empty());
        EXPECT_THAT(line, Not(HasSubstr(kSecret)));
    }
}

// What is never sent: an address no visitor reaches, or a record that lacks what the service needs.
TEST_F(NameUpdaterTest, UnreachableAddressesAndIncompleteNamesSendNothing) {
    EXPECT_FALSE(Update({"192.168.1.20", ""}).failed);
    name_.account.clear();
    EXPECT_EQ(Update().line, "home.example.net was not updated: it has no account name.");
    EXPECT_TRUE(service_.requests.empty());
}

} // namespace
} // namespace tovra
