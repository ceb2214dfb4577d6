#pragma once
// strftime-style formatting of a local date and time in the classic locale: English day and month
// names and AM/PM, whatever the system's locale, because the log and the published page promise
// exactly those texts.

#include <string>
#include <string_view>

namespace tovra {

struct LocalDateTime {
    int year = 1970;
    int month = 1;     // 1 to 12
    int day = 1;       // 1 to 31
    int dayOfWeek = 4; // 0 = Sunday
    int hour = 0;      // 0 to 23
    int minute = 0;
    int second = 0;
};

// Supports %a %A %b %B %d %H %I %m %M %p %S %y %Y and %%.
// An unknown conversion is copied through unchanged.
std::string FormatTime(const LocalDateTime& time, std::string_view format);

// "%I:%M:%S %p", the form of the log and of the page's <Time>.
std::string FormatClockTime(const LocalDateTime& time);

} // namespace tovra
