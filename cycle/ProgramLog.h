#pragma once
// The program's log: every line of every worker, stamped with its time in the order the calls
// came, shown in the log box and appended to the log file, with the site and proxy passwords
// hidden from both. A worker's line costs it a lock and a push: lines go to the window thread in
// batches, one posted wake-up for all the lines that came meanwhile.
//
// Threads: AppendLog from any thread; everything else on the window thread, which alone touches
// the box, the file and the passwords. Create with std::make_shared: a posted batch holds the log
// weakly and does nothing once it is gone.

#include "cycle/CycleView.h"
#include "cycle/LogFile.h"
#include "framework/TimeFormat.h"
#include "settings/Settings.h"
#include "upload/LogSink.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tovra {

class ProgramLog final : public LogSink, public std::enable_shared_from_this<ProgramLog> {
public:
    using ClockFn = std::function<LocalDateTime()>;

    // filePath: the log on disk (LogFile); none when empty. programVersion is named in the line
    // that opens a run in the file.
    ProgramLog(std::shared_ptr<CycleView> view, ClockFn clock, std::wstring filePath,
               std::string programVersion);

    void AppendLog(std::string_view text) override;

    // Window thread. The passwords to hide from here on.
    void UseSettings(std::shared_ptr<const Settings> settings);
    // Opens the run in the log file ("Tovra <version> started"); once.
    void Open();
    // Writes what is still queued, closes the run ("Tovra ended") and refuses every later line.
    void Close();
    // Writes every queued line out now.
    void Flush();

    // Any thread: refuses every later line and writes nothing more, not even the closing line.
    void Mute();

private:
    struct PendingLine {
        LocalDateTime time;
        std::string text;
    };
    void Write(const std::vector<PendingLine>& lines);
    // Appends to the log file, and says once in the log box when it cannot.
    void WriteLogFile(std::string_view lines);

    const std::shared_ptr<CycleView> view_;
    const ClockFn clock_;

    std::mutex mutex_;
    std::vector<PendingLine> pending_; // guarded by mutex_
    bool closed_ = false;              // guarded by mutex_

    // Window thread only.
    std::shared_ptr<const Settings> settings_;
    std::unique_ptr<LogFile> file_; // none without a path
    const std::string programVersion_;
    bool fileFailureShown_ = false;
    bool rotationFailureShown_ = false;
    bool runStarted_ = false;
    bool runEnded_ = false;
};

} // namespace tovra
