#pragma once
// The current local time, as one reading of the system clock.

#include "framework/TimeFormat.h"

namespace tovra {

LocalDateTime CurrentLocalTime();

} // namespace tovra
