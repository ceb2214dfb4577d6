// Figures of the whole program, measured from outside as the end-to-end tests watch it:
//   - the time from process start to the tray icon (median of five starts),
//   - working set and private bytes after start and after each of six rounds of 100 posting
//     cycles,
//   - CPU time used while idle for N seconds (default 600: ten minutes),
//   - the size of tovra.exe.
// Runs under Wine with the loopback FTP server and echo proxy of the tests:
//   scripts/wine-run.sh BUILD_DIR bench/program_bench.exe [idle-seconds]
// Prints figures only; it asserts nothing.

#include "resources/TrayMenuIds.h"
#include "tests/e2e/TovraProcess.h"
#include "tests/e2e/TrayAnchor.h"
#include "tests/support/EchoProxyServer.h"
#include "tests/support/FtpTestServer.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

using namespace tovra::test;

namespace {

struct Memory {
    double workingSetKiB = 0;
    double privateKiB = 0;
};

Memory MemoryOf(DWORD processId) {
    Memory memory;
    tovra::UniqueKernelHandle process(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (process &&
        ::GetProcessMemoryInfo(process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                               sizeof counters)) {
        memory.workingSetKiB = counters.WorkingSetSize / 1024.0;
        // Wine leaves PrivateUsage at 0; its PagefileUsage is the same commit charge.
        const SIZE_T privateBytes =
            counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
        memory.privateKiB = privateBytes / 1024.0;
    }
    return memory;
}

double CpuMilliseconds(DWORD processId) {
    tovra::UniqueKernelHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!process || !::GetProcessTimes(process.get(), &created, &exited, &kernel, &user))
        return -1;
    auto ticks = [](const FILETIME& t) {
        return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return (ticks(kernel) + ticks(user)) / 10000.0;
}

// Wine reports no CPU time for another process (GetProcessTimes gives zero), so under Wine the
// figure comes from Linux itself: /proc, seen through drive Z:, for the process whose command line
// is tovra.exe's path. USER_HZ is 100 on Linux, so a tick is 10 ms. -1 when not found.
double LinuxCpuMilliseconds(const std::string& exePath) {
    WIN32_FIND_DATAA entry{};
    tovra::UniqueFindHandle search(::FindFirstFileA("Z:\\proc\\*", &entry));
    if (!search)
        return -1;
    do {
        const std::string folder = std::string("Z:\\proc\\") + entry.cFileName;
        if (entry.cFileName[0] < '1' || entry.cFileName[0] > '9')
            continue;
        std::ifstream cmdline(folder + "\\cmdline", std::ios::binary);
        std::string program;
        std::getline(cmdline, program, '\0');
        if (_stricmp(program.c_str(), exePath.c_str()) != 0)
            continue;
        std::ifstream statFile(folder + "\\stat", std::ios::binary);
        std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
        const std::size_t nameEnd = stat.rfind(')');
        if (nameEnd == std::string::npos)
            return -1;
        std::istringstream fields(stat.substr(nameEnd + 1));
        std::string field;
        unsigned long long userTicks = 0, systemTicks = 0;
        // From the state (the third field) on: utime and stime are the 14th and 15th.
        for (int index = 3; index <= 15 && fields >> field; ++index) {
            if (index == 14)
                userTicks = std::stoull(field);
            if (index == 15)
                systemTicks = std::stoull(field);
        }
        return (userTicks + systemTicks) * 10.0;
    } while (::FindNextFileA(search.get(), &entry));
    return -1;
}

bool EndsWithUpload(const std::string& log) {
    const std::string last = "File uploaded successfully!";
    const std::size_t at = log.rfind(last);
    return at != std::string::npos && log.find_first_not_of(" \r\n", at + last.size()) == std::string::npos;
}

std::size_t CountOf(const std::string& text, const std::string& word) {
    std::size_t count = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + word.size()))
        ++count;
    return count;
}

} // namespace

int main(int argc, char** argv) {
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 600;

    FtpTestServer ftp;
    EchoProxyServer echo;
    echo.UseAsProxyForThisProcess();
    echo.Answer("ifconfig.me", 200, "198.51.100.23");
    const std::string templatePath = ftp.HomeWindowsPath() + "\\..\\tovra-bench-template.html";
    std::ofstream(templatePath, std::ios::binary) << "<html><IPAddress> <time> <date></html>";

    TestRegistry registry;
    registry.Set("SiteAddress", "127.0.0.1");
    registry.Set("SitePort", std::to_string(ftp.Port()));
    registry.Set("SiteUsername", ftp.User());
    registry.Set("SitePassword", ftp.Password());
    registry.Set("SiteRemotePath", "/ip.html");
    registry.Set("LocalTemplateFile", templatePath);
    registry.Set("GetWebAddress", "1");
    registry.Set("ForcePost", "1");

    // Without an icon of its own in the tray each start would include Wine's wait (TrayAnchor.h).
    const TrayAnchor anchor("program_bench");
    if (!anchor.Added())
        std::printf("(no icon of its own in the tray: starts may include Wine's 2 s wait)\n");
    std::vector<double> startMs;
    for (int run = 0; run < 5; ++run) {
        const auto started = std::chrono::steady_clock::now();
        TovraProcess tovra;
        if (!WaitUntil([&] { return tovra.HasTrayIcon(); }, 30s)) {
            std::printf("start %d: no tray icon within 30 s\n", run + 1);
            continue;
        }
        startMs.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count());
        std::printf("start %d: tray icon after %.0f ms\n", run + 1, startMs.back());
    }
    std::sort(startMs.begin(), startMs.end());
    if (!startMs.empty())
        std::printf("start to tray icon: median %.0f ms (min %.0f, max %.0f, %zu starts)\n",
                    startMs[startMs.size() / 2], startMs.front(), startMs.back(), startMs.size());

    TovraProcess tovra;
    tovra.WaitForMainWindow();
    WaitUntil([&] { return CountOf(tovra.LogText(), "File uploaded successfully!") >= 1; }, 30s);
    const Memory afterStart = MemoryOf(tovra.Id());
    std::printf("after start: working set %.0f KiB, private bytes %.0f KiB\n", afterStart.workingSetKiB,
                afterStart.privateKiB);

    // Rounds of 100. The log's own text grows with every cycle until it is trimmed to its limit
    // (after about 350 cycles), so its size is printed beside the figures: from then on, a leak
    // would be the only growth left.
    std::size_t uploads = 1;
    for (int round = 1; round <= 6; ++round) {
        const auto roundStarted = std::chrono::steady_clock::now();
        const Memory before = MemoryOf(tovra.Id());
        for (int cycle = 0; cycle < 100; ++cycle) {
            // Counting the lines would stop working once the log is trimmed: a cycle is done when
            // the page is back on the server and the log ends with the upload's last line.
            ::DeleteFileA((ftp.HomeWindowsPath() + "\\ip.html").c_str());
            tovra.SendTrayCommand(ID_TRAY_POST_NOW);
            ++uploads;
            if (!WaitUntil([&] { return ftp.FileExists("ip.html") && EndsWithUpload(tovra.LogText()); },
                           30s)) {
                std::printf("upload %zu did not come within 30 s\n", uploads);
                return 1;
            }
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - roundStarted).count();
        const Memory after = MemoryOf(tovra.Id());
        std::printf("after %d cycles (%.1f s): working set %.0f KiB (%+.0f), private bytes %.0f KiB (%+.0f), "
                    "log %zu KiB\n",
                    round * 100, seconds, after.workingSetKiB, after.workingSetKiB - before.workingSetKiB,
                    after.privateKiB, after.privateKiB - before.privateKiB, tovra.LogText().size() / 1024);
    }

    const double cpuBefore = CpuMilliseconds(tovra.Id());
    const double linuxBefore = LinuxCpuMilliseconds(TovraExePath());
    ::Sleep(static_cast<DWORD>(idleSeconds) * 1000);
    const double cpuAfter = CpuMilliseconds(tovra.Id());
    const double linuxAfter = LinuxCpuMilliseconds(TovraExePath());
    std::printf("idle for %d s: %.0f ms of CPU time as Windows reports it (%.0f ms before)\n", idleSeconds,
                cpuAfter - cpuBefore, cpuBefore);
    if (linuxBefore >= 0 && linuxAfter >= 0)
        std::printf("idle for %d s: %.0f ms of CPU time as Linux counts it (%.0f ms before)\n", idleSeconds,
                    linuxAfter - linuxBefore, linuxBefore);

    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (::GetFileAttributesExA(TovraExePath().c_str(), GetFileExInfoStandard, &attributes))
        std::printf("tovra.exe: %lu bytes\n", static_cast<unsigned long>(attributes.nFileSizeLow));

    ::DeleteFileA(templatePath.c_str());
    return 0;
}
