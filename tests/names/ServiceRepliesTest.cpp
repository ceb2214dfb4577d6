#include "names/ServiceReplies.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tovra {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(ServiceReplies, Dyndns2AnswersAreReadFromTheFirstLineWhateverTheWhiteSpace) {
    struct Case {
        const char* body;
        const char* code;
        const char* address;
    };
    const Case cases[] = {
        {"good 84.1.2.3", "good", "84.1.2.3"},
        {"\r\n  nochg 84.1.2.3 \r\nnochg 84.1.2.4", "nochg", "84.1.2.3"},
        {"badauth", "badauth", ""},
        {"911\n", "911", ""},
        {"good\t84.1.2.3 2001:db8::1", "good", "84.1.2.3"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        const Dyndns2Answer answer = ParseDyndns2Reply(c.body);
        EXPECT_EQ(answer.code, c.code) << c.body;
        EXPECT_EQ(answer.address, c.address) << c.body;
    }
}

TEST(ServiceReplies, DuckDnsIsOkOrKoAndNothingElse) {
    EXPECT_EQ(ParseDuckDnsReply("OK"), DuckDnsAnswer::Ok);
    EXPECT_EQ(ParseDuckDnsReply("KO\n"), DuckDnsAnswer::Ko);
    EXPECT_EQ(ParseDuckDnsReply("OK\n84.1.2.3\n\nUPDATED"), DuckDnsAnswer::Other);
    EXPECT_EQ(ParseDuckDnsReply("ok"), DuckDnsAnswer::Other);
}

TEST(ServiceReplies, CloudflareAnswersGiveSuccessIdsAndTheFirstError) {
    const CloudflareReply list = ParseCloudflareReply(
        R"({"result":[{"id":"z1","name":"example.com","meta":{"a":[1,2.5e3,null]}},{"id":"z2"}],)"
        R"("success":true,"errors":[],"messages":[]})");
    EXPECT_TRUE(list.parsed);
    EXPECT_TRUE(list.success);
    EXPECT_THAT(list.ids, ElementsAre("z1", "z2"));

    const CloudflareReply one = ParseCloudflareReply(R"( {"success": true, "result": {"id": "r\u0031"}} )");
    EXPECT_THAT(one.ids, ElementsAre("r1"));

    const CloudflareReply refused = ParseCloudflareReply(
        R"({"success":false,"errors":[{"code":9109,"message":"Invalid \"access\" token"}],"result":null})");
    EXPECT_FALSE(refused.success);
    EXPECT_THAT(refused.ids, IsEmpty());
    EXPECT_EQ(refused.error, "Invalid \"access\" token");

    for (const char* broken : {"", "[]", "{", R"({"success":true,)", R"({"success":true} x)", "<html>"})
        EXPECT_FALSE(ParseCloudflareReply(broken).parsed) << broken;
    // Nesting beyond any real answer is refused, not followed down the stack.
    EXPECT_FALSE(ParseCloudflareReply(std::string(100000, '[') + std::string(100000, ']')).parsed);
}

TEST(ServiceReplies, RetryAfterIsSecondsBoundedByADay) {
    EXPECT_EQ(RetryAfterSeconds(" 120 "), 120u);
    EXPECT_EQ(RetryAfterSeconds("999999999"), 86400u);
    EXPECT_EQ(RetryAfterSeconds("Wed, 21 Oct 2015 07:28:00 GMT"), 0u);
    EXPECT_EQ(RetryAfterSeconds(""), 0u);
    EXPECT_EQ(RetryAfterSeconds("-5"), 0u);
}

} // namespace
} // namespace tovra
