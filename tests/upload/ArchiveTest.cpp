#include "upload/Archive.h"
#include "upload/FtpSite.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tovra {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Stored(std::string_view text) {
    Archive archive = Archive::ForStoring();
    archive << text;
    return archive.Bytes();
}

std::string LoadedText(const Bytes& bytes) {
    Archive archive = Archive::ForLoading(bytes.data(), bytes.size());
    std::string text = "unchanged";
    archive >> text;
    EXPECT_EQ(archive.Remaining(), 0u);
    return text;
}

TEST(Archive, IntegersAreFourBytesLittleEndian) {
    Archive archive = Archive::ForStoring();
    archive << std::int32_t{-2} << std::uint32_t{0x01020304};
    EXPECT_EQ(archive.Bytes(), (Bytes{0xFE, 0xFF, 0xFF, 0xFF, 0x04, 0x03, 0x02, 0x01}));
    Archive loading = Archive::ForLoading(archive.Bytes().data(), archive.Bytes().size());
    std::int32_t negative = 0;
    std::uint32_t positive = 0;
    loading >> negative >> positive;
    EXPECT_EQ(negative, -2);
    EXPECT_EQ(positive, 0x01020304u);
}

TEST(Archive, TextLengthPrefixGrowsLikeMfcs) {
    EXPECT_EQ(Stored(""), (Bytes{0x00}));
    EXPECT_EQ(Stored("ab"), (Bytes{0x02, 'a', 'b'}));
    struct Case {
        std::size_t length;
        Bytes prefix;
    };
    const Case cases[] = {{254, {0xFE}},
                          {255, {0xFF, 0xFF, 0x00}},
                          {300, {0xFF, 0x2C, 0x01}},
                          {0xFFFD, {0xFF, 0xFD, 0xFF}},
                          {0xFFFE, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
                          {70000, {0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        const std::string text(c.length, 'x');
        const Bytes bytes = Stored(text);
        ASSERT_EQ(bytes.size(), c.prefix.size() + c.length);
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + c.prefix.size()), c.prefix);
        EXPECT_EQ(LoadedText(bytes), text);
    }
}

TEST(Archive, TextsKeepEveryByte) {
    const std::string text("a\0b\xFF\r\n", 6);
    EXPECT_EQ(LoadedText(Stored(text)), text);
}

TEST(Archive, ShortOrMalformedInputIsReportedAndLeavesTheValueAlone) {
    const Bytes inputs[] = {
        {},                                         // nothing at all
        {0x05, 'a', 'b'},                           // text shorter than its length
        {0xFF, 0x10},                               // 16-bit length cut off
        {0xFF, 0xFF, 0xFF, 0x01},                   // 32-bit length cut off
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}, // 2 GB announced, nothing there
        {0xFF, 0xFE, 0xFF, 0x01, 'a'},              // wide-character text
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, // 64-bit length escape
    };
    for (const Bytes& input : inputs) {
        SCOPED_TRACE(input.size());
        Archive archive = Archive::ForLoading(input.data(), input.size());
        std::string text = "unchanged";
        EXPECT_THROW(archive >> text, ArchiveError);
        EXPECT_EQ(text, "unchanged");
        EXPECT_EQ(archive.Remaining(), input.size()) << "nothing is consumed by a failed read";
    }
    const Bytes three = {1, 2, 3};
    Archive archive = Archive::ForLoading(three.data(), three.size());
    std::int32_t number = 7;
    EXPECT_THROW(archive >> number, ArchiveError);
    EXPECT_EQ(number, 7);
}

TEST(Archive, DirectionIsEnforced) {
    Archive storing = Archive::ForStoring();
    std::int32_t number = 0;
    EXPECT_THROW(storing >> number, ArchiveError);
    Archive loading = Archive::ForLoading(nullptr, 0);
    EXPECT_THROW(loading << number, ArchiveError);
}

TEST(FtpSite, NewRecordHasItsDefaults) {
    const CFtpSite site;
    EXPECT_EQ(site.port, 21);
    EXPECT_EQ(site.reserved1, 1);
    EXPECT_EQ(site.reserved4, 15);
    EXPECT_EQ(site.reserved5, 0);
    EXPECT_EQ(site.passiveMode, 0);
    for (const std::string* text : {&site.serverAddress, &site.reserved2, &site.templateFile, &site.userName,
                                    &site.reserved3, &site.password, &site.remotePath})
        EXPECT_TRUE(text->empty());
}

CFtpSite Filled() {
    CFtpSite site;
    site.serverAddress = "ftp.example.com";
    site.reserved1 = -5;
    site.reserved2 = "r2";
    site.templateFile = std::string(300, 't');
    site.userName = "alice";
    site.reserved3 = "r3";
    site.password = "s3cret";
    site.port = 70000;
    site.remotePath = "/www/ip.html";
    site.reserved4 = 99;
    site.reserved5 = 0x7FFFFFFF;
    site.passiveMode = 1;
    return site;
}

TEST(FtpSite, StoredRecordLoadsBackWithAllTwelveFields) {
    CFtpSite original = Filled();
    Archive storing = Archive::ForStoring();
    original.Serialize(storing);

    Archive loading = Archive::ForLoading(storing.Bytes().data(), storing.Bytes().size());
    CFtpSite copy;
    copy.Serialize(loading);
    EXPECT_EQ(loading.Remaining(), 0u);
    EXPECT_EQ(copy.serverAddress, original.serverAddress);
    EXPECT_EQ(copy.reserved1, original.reserved1);
    EXPECT_EQ(copy.reserved2, original.reserved2);
    EXPECT_EQ(copy.templateFile, original.templateFile);
    EXPECT_EQ(copy.userName, original.userName);
    EXPECT_EQ(copy.reserved3, original.reserved3);
    EXPECT_EQ(copy.password, original.password);
    EXPECT_EQ(copy.port, original.port);
    EXPECT_EQ(copy.remotePath, original.remotePath);
    EXPECT_EQ(copy.reserved4, original.reserved4);
    EXPECT_EQ(copy.reserved5, original.reserved5);
    EXPECT_EQ(copy.passiveMode, original.passiveMode);
}

TEST(FtpSite, SerialFormIsTheTwelveFieldsInOrderAndNothingElse) {
    CFtpSite site;
    site.serverAddress = "h";
    site.templateFile = "t";
    Archive archive = Archive::ForStoring();
    site.Serialize(archive);
    const Bytes expected = {1, 'h', 1,  0, 0, 0, 0, 1, 't', 0, 0, 0, 21, 0, 0,
                            0, 0,   15, 0, 0, 0, 0, 0, 0,   0, 0, 0, 0,  0};
    EXPECT_EQ(archive.Bytes(), expected);
}

TEST(FtpSite, TruncatedSerialFormIsReported) {
    Archive storing = Archive::ForStoring();
    Filled().Serialize(storing);
    const Bytes& bytes = storing.Bytes();
    Archive loading = Archive::ForLoading(bytes.data(), bytes.size() - 1);
    CFtpSite copy;
    EXPECT_THROW(copy.Serialize(loading), ArchiveError);
}

} // namespace
} // namespace tovra
