#pragma once
// One fixed local time for the tests that format or expand times, chosen so that every field
// tells itself apart: a two-digit day, a one-digit hour on the 12-hour clock, minutes and seconds
// with leading zeros, and a weekday that is not the default's.

#include "framework/TimeFormat.h"

namespace tovra::test {

// Monday, 7 December 2026, 21:05:07.
inline LocalDateTime Evening() {
    LocalDateTime t;
    t.year = 2026;
    t.month = 12;
    t.day = 7;
    t.dayOfWeek = 1;
    t.hour = 21;
    t.minute = 5;
    t.second = 7;
    return t;
}

} // namespace tovra::test
