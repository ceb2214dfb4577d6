#pragma once
// Where a worker's progress lines go: one plain text per call, without time stamp or line end.
// The receiver stamps, orders and shows them, and returns once the line is in the log. It may be
// called from any thread.

#include <string_view>

namespace tovra {

class LogSink {
public:
    virtual void AppendLog(std::string_view text) = 0;

protected:
    ~LogSink() = default;
};

} // namespace tovra
