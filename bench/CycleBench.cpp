// One full posting cycle against the loopback servers of the tests: a web detection through the
// echo proxy, then the upload of a 10 KB page to the FTP server, repeated. Each cycle is split
// into detection (the check asked for until the address is known), connection (the "Connecting"
// line until logged in, i.e. "Setting remote directory...") and transfer ("Uploading file..."
// until the success line), timed by when the log lines reach the (fake) window. Then the
// process's peak working set.
//
//   cycle_bench [cycles]      (under Wine: scripts/wine-run.sh BUILD_DIR bench/cycle_bench.exe)

#include "cycle/PostingCycle.h"
#include "detection/IpAddressChecker.h"
#include "framework/FixedText.h"
#include "framework/Win32Handles.h"
#include "framework/WideText.h"
#include "tests/support/EchoProxyServer.h"
#include "tests/support/FtpTestServer.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// A window that notes when each line arrives.
class TimingView : public tovra::CycleView {
public:
    TimingView() : done_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

    bool PostToWindowThread(std::function<void()> fn) override {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        fn();
        return true;
    }
    void AppendLogText(std::string_view lines) override {
        const auto now = Clock::now();
        auto note = [&](const char* text, Clock::time_point& at) {
            if (lines.find(text) != std::string_view::npos)
                at = now;
        };
        note(" insists that I am ", detected);
        note("Connecting to ", connecting);
        note("Setting remote directory...", loggedIn);
        note("Uploading file...", uploading);
        note("File uploaded successfully!", uploaded);
        if (lines.find("File uploaded successfully!") != std::string_view::npos)
            ::SetEvent(done_.get());
    }
    void ShowDetectedAddress(std::string_view, std::string_view) override {}
    void ShowDetailsPage() override {}
    void ShowRefusedSetting(tovra::RefusedSetting) override {}
    void ShowBusy(bool) override {}
    void ShowPostingResult(bool, std::string_view, bool) override {}

    bool WaitDone(DWORD ms) { return ::WaitForSingleObject(done_.get(), ms) == WAIT_OBJECT_0; }

    Clock::time_point detected, connecting, loggedIn, uploading, uploaded;

private:
    std::recursive_mutex mutex_;
    const tovra::UniqueKernelHandle done_;
};

} // namespace

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

    tovra::test::FtpTestServer ftp;
    tovra::test::EchoProxyServer echo;
    echo.UseAsProxyForThisProcess();
    echo.Answer("echo.bench", 200, "Your address: 198.51.100.23");

    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder =
        std::string(temp) + "tovra-cycle-bench-" + std::to_string(::GetCurrentProcessId()) + "\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const std::string templatePath = folder + "Tovra.html";
    {
        std::string page = "<html><body><p>My address is <ipaddress>, seen at <time> on <date>.</p>\r\n";
        while (page.size() < 10 * 1024)
            page += "<p>Filler text so that the page weighs what a real one does.</p>\r\n";
        std::ofstream(templatePath, std::ios::binary) << page;
    }

    tovra::Settings settings;
    tovra::CopyBounded(settings.SiteAddress, "127.0.0.1");
    tovra::CopyBounded(settings.SitePort, std::to_string(ftp.Port()));
    tovra::CopyBounded(settings.SiteUsername, ftp.User());
    tovra::CopyBounded(settings.SitePassword, ftp.Password());
    tovra::CopyBounded(settings.SiteRemotePath, "/ip.html");
    tovra::CopyBounded(settings.LocalTemplateFile, templatePath);
    settings.SitePasvMode = true;
    settings.ForcePost = true;
    settings.IpSites = {{"echo.bench", "/myip.html"}};

    auto view = std::make_shared<TimingView>();
    tovra::PostingCycleOptions options;
    options.pageGenerator = tovra::PageGenerator(tovra::WidenAnsi(folder), tovra::WidenAnsi(folder),
                                                 [] { return tovra::LocalDateTime{}; });
    auto cycle = tovra::CPostingCycle::Create(view, std::move(options));
    cycle->UseSettings(std::make_shared<const tovra::Settings>(settings), false);
    auto checker = std::make_shared<tovra::CIpAddressChecker>(
        cycle, std::vector<tovra::IpSite>{{"echo.bench", "/myip.html"}});
    cycle->Start([checker](bool useWeb, bool displayOnly) { checker->RequestCheck(useWeb, displayOnly); });
    checker->Start();

    std::vector<double> detection, connection, transfer, total;
    for (int i = 0; i < cycles; ++i) {
        const auto start = Clock::now();
        cycle->CheckAndPost();
        if (!view->WaitDone(60000) || view->uploaded < start) {
            std::fprintf(stderr, "cycle %d did not end in an upload\n", i + 1);
            return 1;
        }
        detection.push_back(Milliseconds(view->detected - start));
        connection.push_back(Milliseconds(view->loggedIn - view->connecting));
        transfer.push_back(Milliseconds(view->uploaded - view->uploading));
        total.push_back(Milliseconds(view->uploaded - start));
    }
    checker->Stop(5000);
    cycle->Stop();

    auto report = [](const char* name, std::vector<double> values) {
        std::sort(values.begin(), values.end());
        std::printf("%-11s median %7.1f ms   min %7.1f ms   max %7.1f ms\n", name, values[values.size() / 2],
                    values.front(), values.back());
    };
    std::printf("%d cycles, page of 10 KB\n", cycles);
    report("detection", detection);
    report("connection", connection);
    report("transfer", transfer);
    report("whole cycle", total);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory))
        std::printf("peak working set %.1f MB, peak pagefile use %.1f MB\n",
                    memory.PeakWorkingSetSize / 1048576.0, memory.PeakPagefileUsage / 1048576.0);

    ::DeleteFileA(templatePath.c_str());
    ::RemoveDirectoryA(folder.c_str());
    return 0;
}
