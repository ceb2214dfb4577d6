#include "cycle/ProgramLog.h"

#include "cycle/LogLine.h"
#include "cycle/LogRedaction.h"
#include "framework/FixedText.h"
#include "framework/InternetError.h"
#include "framework/WideText.h"

#include <utility>

namespace tovra {

ProgramLog::ProgramLog(std::shared_ptr<CycleView> view, ClockFn clock, std::wstring filePath,
                       std::string programVersion)
    : view_(std::move(view)), clock_(std::move(clock)),
      file_(filePath.empty() ? nullptr : std::make_unique<LogFile>(std::move(filePath))),
      programVersion_(std::move(programVersion)) {}

void ProgramLog::AppendLog(std::string_view text) {
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_)
            return;
        first = pending_.empty();
        // Stamped here, in the order of the calls, whichever thread then writes it out.
        pending_.push_back(PendingLine{clock_(), std::string(text)});
    }
    // One wake-up per batch: the lines that come before the window thread gets to it ride along.
    if (first)
        view_->PostToWindowThread([weak = weak_from_this()] {
            if (const std::shared_ptr<ProgramLog> log = weak.lock())
                log->Flush();
        });
}

void ProgramLog::UseSettings(std::shared_ptr<const Settings> settings) {
    settings_ = std::move(settings);
}

void ProgramLog::Flush() {
    std::vector<PendingLine> pending;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending.swap(pending_);
    }
    Write(pending);
}

void ProgramLog::Write(const std::vector<PendingLine>& lines) {
    if (lines.empty())
        return;
    std::string_view secrets[2];
    if (settings_) {
        secrets[0] = FieldText(settings_->SitePassword);
        secrets[1] = FieldText(settings_->ProxyPassword);
    }
    std::string box;
    std::string file;
    for (const PendingLine& line : lines) {
        const std::string text = HideSecrets(line.text, secrets);
        box += FormatLogLine(line.time, text);
        if (file_)
            file += FormatLogFileLine(line.time, text);
    }
    view_->AppendLogText(box);
    WriteLogFile(file);
}

void ProgramLog::Open() {
    if (!std::exchange(runStarted_, true))
        WriteLogFile(FormatLogFileLine(clock_(), "Tovra " + programVersion_ + " started"));
}

void ProgramLog::Close() {
    std::vector<PendingLine> pending;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        pending.swap(pending_);
    }
    // The lines still on their way were said before the end: they go out before it.
    Write(pending);
    if (runStarted_ && !std::exchange(runEnded_, true))
        WriteLogFile(FormatLogFileLine(clock_(), "Tovra ended"));
}

void ProgramLog::Mute() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    pending_.clear();
}

namespace {
std::string SystemErrorText(DWORD error) {
    std::string reason = InternetError::MessageText(error);
    return reason.empty() ? "error " + std::to_string(error) : reason;
}
} // namespace

void ProgramLog::WriteLogFile(std::string_view lines) {
    if (!file_ || lines.empty())
        return;
    if (file_->Append(lines)) {
        // Once a run: the full file is tried again at every line, and would say so at every line.
        if (file_->RotationError() != ERROR_SUCCESS && !std::exchange(rotationFailureShown_, true))
            AppendLog("The log file could not be moved to " + NarrowForDisplay(file_->RotatedPath()) + " (" +
                      SystemErrorText(file_->RotationError()) + "); it grows on until it can.");
        return;
    }
    // Once: a full disk would otherwise add a line of its own to every line of the log.
    if (std::exchange(fileFailureShown_, true))
        return;
    view_->AppendLogText(FormatLogLine(clock_(), "Cannot write the log file " +
                                                     NarrowForDisplay(file_->Path()) + ": " +
                                                     SystemErrorText(file_->LastError())));
}

} // namespace tovra
