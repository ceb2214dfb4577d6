#pragma once
// A LogSink that keeps every line an uploader writes, for the upload tests to read back; the
// uploaders write from their workers, so it locks.

#include "upload/LogSink.h"

#include <mutex>
#include <string>
#include <vector>

namespace tovra::test {

class RecordingLog : public LogSink {
public:
    void AppendLog(std::string_view text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.emplace_back(text);
    }
    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    // The uploader's own lines, without the "[thread] ..." status lines between them.
    std::vector<std::string> StepLines() {
        std::vector<std::string> steps;
        for (const std::string& line : Lines())
            if (!IsStatusLine(line))
                steps.push_back(line);
        return steps;
    }
    // Every line, each ended by "\n".
    std::string Text() {
        std::string text;
        for (const std::string& line : Lines())
            text += line + "\n";
        return text;
    }
    static bool IsStatusLine(const std::string& line) { return !line.empty() && line[0] == '['; }

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

} // namespace tovra::test
