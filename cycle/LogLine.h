#pragma once
// The one format of a log line: the local time on the 12-hour clock, " - ", the text, CR LF.
// Users read and compare these lines, so the form never changes. The log file's lines are the
// same, after the date in ISO form, since the file spans days and runs.

#include "framework/TimeFormat.h"

#include <string>
#include <string_view>

namespace tovra {

std::string FormatLogLine(const LocalDateTime& time, std::string_view text);

// "2026-12-07 09:05:07 PM - text\r\n".
std::string FormatLogFileLine(const LocalDateTime& time, std::string_view text);

} // namespace tovra
