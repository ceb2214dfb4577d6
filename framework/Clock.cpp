#include "framework/Clock.h"

#include <windows.h>

namespace tovra {

LocalDateTime CurrentLocalTime() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    LocalDateTime t;
    t.year = now.wYear;
    t.month = now.wMonth;
    t.day = now.wDay;
    t.dayOfWeek = now.wDayOfWeek;
    t.hour = now.wHour;
    t.minute = now.wMinute;
    t.second = now.wSecond;
    return t;
}

} // namespace tovra
