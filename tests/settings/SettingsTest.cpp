#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <climits>

namespace tovra {
namespace {

TEST(LeadingInteger, ReadsLikeAtoi) {
    EXPECT_EQ(LeadingInteger("1"), 1);
    EXPECT_EQ(LeadingInteger("01"), 1);
    EXPECT_EQ(LeadingInteger("  \t+21abc"), 21);
    EXPECT_EQ(LeadingInteger("-7"), -7);
    EXPECT_EQ(LeadingInteger(""), 0);
    EXPECT_EQ(LeadingInteger("x1"), 0);
    EXPECT_EQ(LeadingInteger("- 1"), 0);
    EXPECT_EQ(LeadingInteger("70000"), 70000);
}

TEST(LeadingInteger, ClampsInsteadOfOverflowing) {
    EXPECT_EQ(LeadingInteger("2147483647"), INT_MAX);
    EXPECT_EQ(LeadingInteger("99999999999999999999999"), INT_MAX);
    EXPECT_EQ(LeadingInteger("-2147483648"), INT_MIN);
    EXPECT_EQ(LeadingInteger("-99999999999999999999999"), INT_MIN);
}

TEST(DecodeFlag, OnlyALeadingOneTurnsAFlagOn) {
    EXPECT_TRUE(DecodeFlag("1", false));
    EXPECT_TRUE(DecodeFlag("01", false));
    EXPECT_TRUE(DecodeFlag(" 1 ", false));
    EXPECT_FALSE(DecodeFlag("0", true));
    EXPECT_FALSE(DecodeFlag("2", true));
    EXPECT_FALSE(DecodeFlag("11", true));
    EXPECT_FALSE(DecodeFlag("yes", true));
    EXPECT_TRUE(DecodeFlag("", true)) << "empty takes the flag's default";
    EXPECT_FALSE(DecodeFlag("", false));
    EXPECT_STREQ(EncodeFlag(true), "1");
    EXPECT_STREQ(EncodeFlag(false), "0");
}

// An installation from before the protocol list has no value: it, and any text Tovra never
// wrote, must keep posting over plain FTP, never over a protocol the user did not choose.
TEST(PageProtocolSetting, OnlyTheTwoWordsItWritesChooseAnotherProtocol) {
    EXPECT_EQ(DecodePageProtocol("ftps"), PageProtocol::Ftps);
    EXPECT_EQ(DecodePageProtocol("webdav"), PageProtocol::WebDav);
    for (const char* stored : {"", "ftp", "FTPS", "ftps ", "sftp", "webdav\n", "https"})
        EXPECT_EQ(DecodePageProtocol(stored), PageProtocol::Ftp) << stored;
    for (const PageProtocol protocol : {PageProtocol::Ftp, PageProtocol::Ftps, PageProtocol::WebDav})
        EXPECT_EQ(DecodePageProtocol(EncodePageProtocol(protocol)), protocol);
}

} // namespace
} // namespace tovra
