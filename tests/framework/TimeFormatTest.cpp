#include "framework/FixedText.h"
#include "framework/TimeFormat.h"
#include "tests/support/SampleTime.h"

#include <gtest/gtest.h>

namespace tovra {
namespace {

using test::Evening;

TEST(TimeFormat, ClockTimeUsesTwelveHourClockWithLeadingZero) {
    EXPECT_EQ(FormatClockTime(Evening()), "09:05:07 PM");
    LocalDateTime midnight = Evening();
    midnight.hour = 0;
    EXPECT_EQ(FormatClockTime(midnight), "12:05:07 AM");
    LocalDateTime noon = Evening();
    noon.hour = 12;
    EXPECT_EQ(FormatClockTime(noon), "12:05:07 PM");
}

TEST(TimeFormat, DateUsesEnglishNamesWhateverTheLocale) {
    EXPECT_EQ(FormatTime(Evening(), "%A, %d %B, %Y"), "Monday, 07 December, 2026");
}

TEST(TimeFormat, OutOfRangeFieldsDoNotReadOutsideTheNameTables) {
    LocalDateTime broken = Evening();
    broken.month = 13;
    broken.dayOfWeek = -1;
    EXPECT_EQ(FormatTime(broken, "%A %B %a %b"), "? ? ? ?");
}

TEST(TimeFormat, UnknownConversionsAndTrailingPercentPassThrough) {
    EXPECT_EQ(FormatTime(Evening(), "%Q 100%% %"), "%Q 100% %");
}

TEST(FixedText, CopyIsBoundedAndAlwaysTerminated) {
    char field[4];
    std::memset(field, 'x', sizeof field);
    EXPECT_EQ(CopyBounded(field, "abcdef"), 3u);
    EXPECT_STREQ(field, "abc");
    EXPECT_EQ(CopyBounded(field, ""), 0u);
    EXPECT_EQ(field[3], '\0');
    EXPECT_EQ(FieldText(field), "");
}

TEST(FixedText, FieldTextStopsAtTheEndOfAnUnterminatedArray) {
    char field[3] = {'a', 'b', 'c'};
    EXPECT_EQ(FieldText(field), "abc");
}

} // namespace
} // namespace tovra
