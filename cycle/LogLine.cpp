#include "cycle/LogLine.h"

namespace tovra {

std::string FormatLogLine(const LocalDateTime& time, std::string_view text) {
    std::string line = FormatClockTime(time);
    line.reserve(line.size() + text.size() + 5);
    line += " - ";
    line += text;
    line += "\r\n";
    return line;
}

std::string FormatLogFileLine(const LocalDateTime& time, std::string_view text) {
    return FormatTime(time, "%Y-%m-%d ") + FormatLogLine(time, text);
}

} // namespace tovra
