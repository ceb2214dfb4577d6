// What the log file costs the thread that logs: a worker's AppendLog returns once its line has been
// written out, so every millisecond the writing takes is a millisecond the worker waits. Lines are
// appended from a worker thread, as the checker and the uploader append theirs, to a cycle without
// a log file and to one with a log file, in the same run; the figures are per line.
//
//   log_bench [lines]      (under Wine: scripts/wine-run.sh BUILD_DIR bench/log_bench.exe)

#include "cycle/PostingCycle.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A log box that keeps its text, as the real one does; one lock stands for the window thread.
class BoxView : public tovra::CycleView {
public:
    bool PostToWindowThread(std::function<void()> fn) override {
        std::lock_guard<std::mutex> lock(mutex_);
        fn();
        return true;
    }
    void AppendLogText(std::string_view lines) override { text_ += lines; }
    void ShowDetectedAddress(std::string_view, std::string_view) override {}
    void ShowDetailsPage() override {}
    void ShowRefusedSetting(tovra::RefusedSetting) override {}
    void ShowBusy(bool) override {}
    void ShowPostingResult(bool, std::string_view, bool) override {}

private:
    std::mutex mutex_;
    std::string text_;
};

// Microseconds per AppendLog from a worker: median and the slowest.
std::pair<double, double> Measure(const std::wstring& logFilePath, int lines) {
    tovra::PostingCycleOptions options;
    options.logFilePath = logFilePath;
    options.programVersion = "bench";
    auto cycle = tovra::CPostingCycle::Create(std::make_shared<BoxView>(), std::move(options));
    cycle->Start([](bool, bool) {});
    std::vector<double> times;
    std::thread worker([&] {
        for (int i = 0; i < lines; ++i) {
            const auto start = Clock::now();
            cycle->AppendLog("[1234] Response received! line " + std::to_string(i));
            times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
    });
    worker.join();
    cycle->Stop();
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

} // namespace

int main(int argc, char** argv) {
    const int lines = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5000;
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring folder =
        std::wstring(temp) + L"tovra-log-bench-" + std::to_wstring(::GetCurrentProcessId());
    const std::wstring path = folder + L"\\Tovra.log";

    const auto [boxMedian, boxWorst] = Measure(L"", lines);
    const auto [fileMedian, fileWorst] = Measure(path, lines);
    std::printf("%d lines from a worker thread, microseconds per line\n", lines);
    std::printf("log box only       median %7.1f   slowest %8.1f\n", boxMedian, boxWorst);
    std::printf("box and log file   median %7.1f   slowest %8.1f\n", fileMedian, fileWorst);

    ::DeleteFileW(path.c_str());
    ::DeleteFileW((folder + L"\\Tovra.1.log").c_str());
    ::RemoveDirectoryW(folder.c_str());
    return 0;
}
