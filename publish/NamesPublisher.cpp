#include "publish/NamesPublisher.h"

#include "framework/TimeFormat.h"
#include "settings/RegistryStore.h"

namespace tovra {
namespace {

// Seconds of a clock that never jumps: a wait must not end early when the user sets the clock.
std::int64_t NowSeconds() {
    return static_cast<std::int64_t>(::GetTickCount64() / 1000);
}

// The wall-clock time, as the log shows it, at which `at` (of NowSeconds' clock) comes.
std::string ClockTimeAt(std::int64_t at) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    FILETIME file{};
    ::SystemTimeToFileTime(&now, &file);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = file.dwLowDateTime;
    ticks.HighPart = file.dwHighDateTime;
    const std::int64_t ahead = at > NowSeconds() ? at - NowSeconds() : 0;
    ticks.QuadPart += static_cast<ULONGLONG>(ahead) * 10000000ULL;
    file.dwLowDateTime = ticks.LowPart;
    file.dwHighDateTime = ticks.HighPart;
    SYSTEMTIME then{};
    ::FileTimeToSystemTime(&file, &then);
    LocalDateTime time;
    time.year = then.wYear;
    time.month = then.wMonth;
    time.day = then.wDay;
    time.dayOfWeek = then.wDayOfWeek;
    time.hour = then.wHour;
    time.minute = then.wMinute;
    time.second = then.wSecond;
    return FormatClockTime(time);
}

} // namespace

NamesPublisher::NamesPublisher(const PublisherContext& context)
    : log_(*context.log), stop_(context.stop), store_(std::string(CRegistryStore().KeyPath())),
      transport_(context.stop), updater_(&ClockTimeAt) {}

bool NamesPublisher::Stopping() const {
    return stop_ != nullptr && ::WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0;
}

Outcome NamesPublisher::Publish(const Posting& posting) {
    DnsNameStore::Loaded loaded = store_.Load();
    if (loaded.lines != damagedLines_) {
        for (const std::string& line : loaded.lines)
            log_.AppendLog(line);
        damagedLines_ = loaded.lines;
    }
    std::string reason;
    for (std::size_t i = 0; i < loaded.names.size() && !Stopping(); ++i) {
        DnsName& name = loaded.names[i];
        const NameUpdater::Report report =
            updater_.Update(name, {posting.ipv4, posting.ipv6}, transport_, NowSeconds());
        if (!report.line.empty())
            log_.AppendLog(report.line);
        if (report.recordChanged)
            store_.Record(loaded.subkeys[i], name);
        if (report.failed && reason.empty())
            reason = report.line;
    }
    return reason.empty() ? Outcome::Success() : Outcome::Failure(reason);
}

} // namespace tovra
