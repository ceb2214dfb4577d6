#pragma once
// The one format of a log line: the local time on the 12-hour clock, " - ", the text, CR LF.
// Users read and compare these lines, so the form never changes.

#include "framework/TimeFormat.h"

#include <string>
#include <string_view>

namespace tovra {

std::string FormatLogLine(const LocalDateTime& time, std::string_view text);

} // namespace tovra
