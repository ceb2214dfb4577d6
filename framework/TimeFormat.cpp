#include "framework/TimeFormat.h"

#include <string>

namespace tovra {
namespace {

constexpr const char* kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};
constexpr const char* kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};

// Out-of-range fields must not index outside the name tables; they read as "?", whole or
// abbreviated.
std::string_view DayName(int dayOfWeek) {
    return dayOfWeek >= 0 && dayOfWeek < 7 ? kDayNames[dayOfWeek] : "?";
}
std::string_view MonthName(int month) {
    return month >= 1 && month <= 12 ? kMonthNames[month - 1] : "?";
}

void AppendNumber(std::string& out, int value, int width) {
    // Zero-padded to width, sign first, as "%0*d" would print it.
    std::string digits = std::to_string(value < 0 ? -static_cast<long long>(value) : value);
    const int signWidth = value < 0 ? 1 : 0;
    if (value < 0)
        out += '-';
    if (static_cast<int>(digits.size()) + signWidth < width)
        out.append(static_cast<std::size_t>(width - signWidth) - digits.size(), '0');
    out += digits;
}

} // namespace

std::string FormatTime(const LocalDateTime& time, std::string_view format) {
    std::string out;
    out.reserve(format.size() + 16);
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%' || i + 1 == format.size()) {
            out += c;
            continue;
        }
        const char conversion = format[++i];
        switch (conversion) {
        case 'a':
            out += DayName(time.dayOfWeek).substr(0, 3);
            break;
        case 'A':
            out += DayName(time.dayOfWeek);
            break;
        case 'b':
            out += MonthName(time.month).substr(0, 3);
            break;
        case 'B':
            out += MonthName(time.month);
            break;
        case 'd':
            AppendNumber(out, time.day, 2);
            break;
        case 'H':
            AppendNumber(out, time.hour, 2);
            break;
        case 'I': {
            const int hour12 = time.hour % 12 == 0 ? 12 : time.hour % 12;
            AppendNumber(out, hour12, 2);
            break;
        }
        case 'm':
            AppendNumber(out, time.month, 2);
            break;
        case 'M':
            AppendNumber(out, time.minute, 2);
            break;
        case 'p':
            out += time.hour < 12 ? "AM" : "PM";
            break;
        case 'S':
            AppendNumber(out, time.second, 2);
            break;
        case 'y':
            AppendNumber(out, ((time.year % 100) + 100) % 100, 2);
            break;
        case 'Y':
            AppendNumber(out, time.year, 4);
            break;
        case '%':
            out += '%';
            break;
        default:
            out += '%';
            out += conversion;
            break;
        }
    }
    return out;
}

std::string FormatClockTime(const LocalDateTime& time) {
    return FormatTime(time, "%I:%M:%S %p");
}

} // namespace tovra
