#include "detection/AddressScan.h"

#include <gtest/gtest.h>

#include <string>

namespace tovra {
namespace {

std::string FirstAddress(std::string_view page) {
    const std::uint32_t address = FindFirstAddress(page);
    return address == 0 ? std::string() : DottedQuadText(address);
}

TEST(AddressScan, FindsTheAddressInsideText) {
    EXPECT_EQ(FirstAddress("Current IP Address: 84.12.3.7"), "84.12.3.7");
    EXPECT_EQ(FirstAddress("<html><body>Current IP Address: 84.12.3.7</body></html>\r\n"), "84.12.3.7");
    EXPECT_EQ(FirstAddress("203.0.113.9\n"), "203.0.113.9");
    EXPECT_EQ(FirstAddress("255.255.255.255"), "255.255.255.255");
}

TEST(AddressScan, FirstAddressWins) {
    EXPECT_EQ(FirstAddress("10.1.2.3 and 192.168.1.1"), "10.1.2.3");
}

TEST(AddressScan, PassesOverWhatIsNoAddressAndFindsALaterOne) {
    EXPECT_EQ(FirstAddress("0.0.0.0 then 10.1.2.3"), "10.1.2.3");
    EXPECT_EQ(FirstAddress("1.2.3.4.5 then 10.1.2.3"), "10.1.2.3");
    EXPECT_EQ(FirstAddress("1234.5.6.7 then 10.1.2.3"), "10.1.2.3");
    EXPECT_EQ(FirstAddress("300.1.1.1 then 10.1.2.3"), "10.1.2.3");
    EXPECT_EQ(FirstAddress("1.300.1.1 then 10.1.2.3"), "10.1.2.3");
    EXPECT_EQ(FirstAddress("version 12.3.4 then 10.1.2.3"), "10.1.2.3");
    EXPECT_EQ(FirstAddress("1..2.3.4 then 10.1.2.3"), "10.1.2.3");
}

TEST(AddressScan, PagesWithoutAnAddressGiveNothing) {
    EXPECT_EQ(FirstAddress(""), "");
    EXPECT_EQ(FirstAddress("no digits here"), "");
    EXPECT_EQ(FirstAddress("12.3.4"), "");
    EXPECT_EQ(FirstAddress("10.20.30 40"), "");
    EXPECT_EQ(FirstAddress("1.2.3.4.5"), "");
    EXPECT_EQ(FirstAddress("..........."), "");
    EXPECT_EQ(FirstAddress("1.2.3."), "");
    EXPECT_EQ(FirstAddress("0.0.0.0"), "");
}

TEST(AddressScan, GroupsThatBeginWithZeroAreOctal) {
    EXPECT_EQ(FirstAddress("010.001.002.003"), "8.1.2.3");
    EXPECT_EQ(FirstAddress("077.0.00.000"), "63.0.0.0");
    EXPECT_EQ(FirstAddress("08.1.2.3"), "");
    EXPECT_EQ(FirstAddress("1.2.3.09"), "");
    // The rejected candidate is passed over as a whole, not reread from its second group.
    EXPECT_EQ(FirstAddress("08.1.2.3 then 10.1.2.3"), "10.1.2.3");
}

TEST(AddressScan, AnAddressAtTheVeryEndOfThePageIsFound) {
    EXPECT_EQ(FirstAddress("address=1.2.3.4"), "1.2.3.4");
}

TEST(AddressScan, TextEndsAtTheFirstZeroByte) {
    EXPECT_EQ(FirstAddress(std::string("none\0 10.1.2.3", 15)), "");
    EXPECT_EQ(FirstAddress(std::string("10.1.2.3\0 ", 10)), "10.1.2.3");
    // The zero ends the text, so the address before it is not cut: it ends at the text's end.
    EXPECT_EQ(FirstAddress(std::string("1.2.3.45\0", 9)), "1.2.3.45");
}

TEST(AddressScan, OnlyTheStartOfALongPageIsSearched) {
    std::string page(kScannedPageBytes, 'x');
    page += " 10.1.2.3";
    EXPECT_EQ(FirstAddress(page), "");

    std::string early(kScannedPageBytes - 20, 'x');
    early += " 10.1.2.3 ";
    early += std::string(10000, 'y');
    EXPECT_EQ(FirstAddress(early), "10.1.2.3");
}

// An address that begins in the searched bytes but runs past them is read to its real end: a page
// whose last searched byte is the 4 of 1.2.3.45 names 1.2.3.45, never 1.2.3.4.
TEST(AddressScan, AnAddressAcrossTheEndOfTheSearchedBytesIsReadWhole) {
    std::string page(kScannedPageBytes - 7, 'x');
    page += "1.2.3.45 trailing text";
    ASSERT_EQ(page[kScannedPageBytes - 1], '4');
    EXPECT_EQ(FirstAddress(page), "1.2.3.45");

    // Longest form, starting on the last searched byte.
    std::string last(kScannedPageBytes - 1, 'x');
    last += "255.255.255.255";
    EXPECT_EQ(FirstAddress(last + " "), "255.255.255.255");
    EXPECT_EQ(FirstAddress(last + ".1"), "");
    EXPECT_EQ(FirstAddress(last + "5"), "");
}

TEST(ScanDottedQuad, MovesThePositionToWhereTheSearchGoesOn) {
    struct Case {
        std::string_view text;
        std::uint32_t address;
        std::size_t resumeAt;
    };
    const Case cases[] = {
        {"12.3.4 x", 0, 6},              // short run: skipped whole
        {"1234.5.6.7", 0, 4},            // four-digit group: just behind its digits
        {"10.20.30 40", 0, 8},           // missing dot: at the offending character
        {"1.2.3.4.5", 0, 8},             // fifth group: just after the dot that starts it
        {"1.2.3.4 rest", 0x01020304, 8}, // past the character that ends the address
        {"1.2.3.4", 0x01020304, 7},      // the address ends the text
        {"300.1.1.1 x", 0, 10},          // out of range: judged after the whole candidate
        {".1.2.3.4", 0, 1},              // no first group: one step forward
    };
    for (const Case& c : cases) {
        const char* position = c.text.data();
        EXPECT_EQ(ScanDottedQuad(position, c.text.data() + c.text.size()), c.address) << c.text;
        EXPECT_EQ(static_cast<std::size_t>(position - c.text.data()), c.resumeAt) << c.text;
    }
}

} // namespace
} // namespace tovra
