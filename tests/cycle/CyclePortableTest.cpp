#include "cycle/LogLine.h"
#include "cycle/PostingDecision.h"
#include "publish/SiteValidation.h"

#include <gtest/gtest.h>

namespace tovra {
namespace {

LocalDateTime At(int hour, int minute, int second) {
    LocalDateTime t;
    t.hour = hour;
    t.minute = minute;
    t.second = second;
    return t;
}

TEST(LogLine, TimeDashTextCrLf) {
    EXPECT_EQ(FormatLogLine(At(21, 5, 7), "Checking IP Address..."),
              "09:05:07 PM - Checking IP Address...\r\n");
    EXPECT_EQ(FormatLogLine(At(0, 0, 0), ""), "12:00:00 AM - \r\n");
    EXPECT_EQ(FormatLogLine(At(11, 59, 59), "x"), "11:59:59 AM - x\r\n");
    LocalDateTime evening = At(21, 5, 7);
    evening.year = 2026;
    evening.month = 12;
    evening.day = 7;
    EXPECT_EQ(FormatLogFileLine(evening, "Tovra ended"), "2026-12-07 09:05:07 PM - Tovra ended\r\n");
}

TEST(SiteValidation, SiteAddressIsCheckedFirst) {
    EXPECT_EQ(ValidateSite("", "").problem, SiteProblem::MissingSiteAddress);
    EXPECT_EQ(ValidateSite("", "21").problem, SiteProblem::MissingSiteAddress);
    EXPECT_EQ(ValidateSite("ftp.example.org", "").problem, SiteProblem::BadPort);
}

TEST(SiteValidation, PortIsReadAsAtoiReadsIt) {
    EXPECT_EQ(ValidateSite("h", "21").port, 21);
    EXPECT_EQ(ValidateSite("h", "  2121xyz").port, 2121);
    EXPECT_EQ(ValidateSite("h", "+65535").port, 65535);
    const SiteCheck letters = ValidateSite("h", "ftp");
    EXPECT_EQ(letters.problem, SiteProblem::None);
    EXPECT_EQ(letters.port, 0);
}

TEST(SiteValidation, PortsNoTcpPortHasAreRefused) {
    EXPECT_EQ(ValidateSite("h", "70000").problem, SiteProblem::BadPort);
    EXPECT_EQ(ValidateSite("h", "65536").problem, SiteProblem::BadPort);
    EXPECT_EQ(ValidateSite("h", "-1").problem, SiteProblem::BadPort);
    EXPECT_EQ(ValidateSite("h", "99999999999999999999999").problem, SiteProblem::BadPort);
}

using Outcome = PostingDecision::Outcome;

TEST(PostingDecision, UnchangedAddressIsPostedOnlyWhenForced) {
    PostingDecision d;
    EXPECT_EQ(d.Decide({"10.0.0.1"}, {"10.0.0.1"}, false, false), Outcome::Unchanged);
    EXPECT_EQ(d.Decide({"10.0.0.1"}, {"10.0.0.1"}, false, true), Outcome::Post);
    EXPECT_EQ(d.Decide({"10.0.0.1"}, {"10.0.0.2"}, false, false), Outcome::Post);
    EXPECT_EQ(d.Decide({""}, {"10.0.0.2"}, false, false), Outcome::Post);
}

TEST(PostingDecision, AChangedIpv6AddressAloneIsPosted) {
    PostingDecision d;
    EXPECT_EQ(d.Decide({"10.0.0.1", "2001:db8::1"}, {"10.0.0.1", "2001:db8::1"}, false, false),
              Outcome::Unchanged);
    EXPECT_EQ(d.Decide({"10.0.0.1", "2001:db8::1"}, {"10.0.0.1", "2001:db8::2"}, false, false),
              Outcome::Post);
    EXPECT_EQ(d.Decide({"10.0.0.1", ""}, {"10.0.0.1", "2001:db8::2"}, false, false), Outcome::Post);
    EXPECT_EQ(d.Decide({"10.0.0.1", "2001:db8::1"}, {"10.0.0.1", ""}, false, false), Outcome::Post);
}

TEST(PostingDecision, DisplayOnlyNeverPosts) {
    PostingDecision d;
    d.RecordUpload(false);
    EXPECT_EQ(d.Decide({"10.0.0.1"}, {"10.0.0.2"}, true, true), Outcome::DisplayOnly);
}

TEST(PostingDecision, EmptyDetectionNeverPostsNorReplaces) {
    PostingDecision d;
    d.RecordUpload(false);
    EXPECT_EQ(d.Decide({"10.0.0.1"}, {""}, false, true), Outcome::NothingDetected);
    EXPECT_EQ(d.Decide({""}, {""}, true, false), Outcome::NothingDetected);
}

TEST(PostingDecision, FailedUploadIsRepeatedUntilOneSucceeds) {
    PostingDecision d;
    d.RecordUpload(false);
    EXPECT_EQ(d.Decide({"10.0.0.1"}, {"10.0.0.1"}, false, false), Outcome::Post);
    d.RecordUpload(false);
    EXPECT_EQ(d.Decide({"10.0.0.1"}, {"10.0.0.1"}, false, false), Outcome::Post);
    d.RecordUpload(true);
    EXPECT_EQ(d.Decide({"10.0.0.1"}, {"10.0.0.1"}, false, false), Outcome::Unchanged);
}

} // namespace
} // namespace tovra
