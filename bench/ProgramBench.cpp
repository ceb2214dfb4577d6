// Figures of the whole program, measured from outside as the end-to-end tests watch it, each
// beside two baselines started in the same run and the same Wine: an empty tray program and a
// comparison program that loads what Tovra loads of the system (bench_empty_tray.exe and
// bench_comparison_tray.exe, see BenchTrayProgram.cpp). Linux's own counts are read through
// drive Z: (/proc), since Wine reports neither context switches nor private memory of another
// process.
//   - the time from process start to the tray icon (median of five starts),
//   - private memory (smaps_rollup: Private_Clean + Private_Dirty) after start, and its growth
//     over six rounds of 100 posting cycles,
//   - voluntary context switches of all threads in an idle minute between ticks,
//   - the window thread's longest answer to a message while a lookup, an upload and a hung upload
//     run (the limit is 50 ms),
//   - the size of tovra.exe, and of the release build's when it is there.
// Runs under Wine with the loopback FTP server and echo proxy of the tests:
//   scripts/wine-run.sh BUILD_DIR bench/program_bench.exe [idle-seconds] [tovra.exe]
// The second argument measures another build of the program (a Unix or a Windows path).
// Prints figures only; it asserts nothing.

#include "resources/MainDialogIds.h"
#include "resources/TrayMenuIds.h"
#include "tests/e2e/TovraProcess.h"
#include "tests/support/EchoProxyServer.h"
#include "tests/support/FtpTestServer.h"

#include <shellapi.h>

#include <algorithm>
#include <cctype>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <vector>

using namespace tovra::test;

namespace {

std::string WindowsPath(std::string path) {
    if (path.size() > 1 && path[1] == ':')
        return path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

std::string FolderOf(const std::string& path) {
    return path.substr(0, path.find_last_of('\\') + 1);
}

// The Linux process whose command line starts with `exePath` (how Wine names its processes), as
// its folder Z:\proc\PID\; empty when there is none.
std::string LinuxProcFolder(const std::string& exePath) {
    WIN32_FIND_DATAA entry{};
    tovra::UniqueFindHandle search(::FindFirstFileA("Z:\\proc\\*", &entry));
    if (!search)
        return {};
    do {
        if (entry.cFileName[0] < '1' || entry.cFileName[0] > '9')
            continue;
        const std::string folder = std::string("Z:\\proc\\") + entry.cFileName + "\\";
        std::ifstream cmdline(folder + "cmdline", std::ios::binary);
        std::string program;
        std::getline(cmdline, program, '\0');
        if (_stricmp(program.c_str(), exePath.c_str()) == 0)
            return folder;
    } while (::FindNextFileA(search.get(), &entry));
    return {};
}

// The number after `key` in a /proc text file; 0 when absent.
long long FieldOf(const std::string& file, const std::string& key) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, key.size(), key) == 0)
            return std::atoll(line.c_str() + key.size());
    return 0;
}

// Voluntary context switches of every thread of the process, or -1.
long long VoluntarySwitches(const std::string& procFolder) {
    WIN32_FIND_DATAA entry{};
    tovra::UniqueFindHandle search(::FindFirstFileA((procFolder + "task\\*").c_str(), &entry));
    if (procFolder.empty() || !search)
        return -1;
    long long total = 0;
    do {
        if (entry.cFileName[0] >= '0' && entry.cFileName[0] <= '9')
            total +=
                FieldOf(procFolder + "task\\" + entry.cFileName + "\\status", "voluntary_ctxt_switches:");
    } while (::FindNextFileA(search.get(), &entry));
    return total;
}

double PrivateKiB(const std::string& procFolder) {
    if (procFolder.empty())
        return -1;
    const std::string rollup = procFolder + "smaps_rollup";
    return static_cast<double>(FieldOf(rollup, "Private_Clean:") + FieldOf(rollup, "Private_Dirty:"));
}

// The part of PrivateKiB that is the visual style's theme file: a shared read-only mapping of one
// file, which counts as private here only for the pages no other process has touched.
double ThemeFileKiB(const std::string& procFolder) {
    std::ifstream in(procFolder + "smaps", std::ios::binary);
    double total = 0;
    bool theme = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && std::isxdigit(static_cast<unsigned char>(line[0])) && line.find('-') < 16)
            theme = line.find(".msstyles") != std::string::npos;
        else if (theme && (line.rfind("Private_Clean:", 0) == 0 || line.rfind("Private_Dirty:", 0) == 0))
            total += std::atof(line.c_str() + 14);
    }
    return total;
}

int ThreadCount(const std::string& procFolder) {
    return static_cast<int>(FieldOf(procFolder + "status", "Threads:"));
}

// An upload's helper threads end a moment after it, and each holds a megabyte under Wine: memory is
// read once the number of threads holds still for half a second (at most ten seconds).
void WaitForSteadyThreads(const std::string& procFolder) {
    for (int last = -1, now = ThreadCount(procFolder), polls = 0; now != last && polls < 20; ++polls) {
        ::Sleep(500);
        last = now;
        now = ThreadCount(procFolder);
    }
}

// A baseline program, started and ended by the benchmark.
class Baseline {
public:
    Baseline(const std::string& exePath, const std::string& argument) : path_(exePath) {
        std::string commandLine = "\"" + exePath + "\" " + argument;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!::CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &info)) {
            std::printf("cannot start %s: error %lu\n", exePath.c_str(), ::GetLastError());
            return;
        }
        const tovra::UniqueKernelHandle thread(info.hThread);
        process_.reset(info.hProcess);
        id_ = info.dwProcessId;
    }
    ~Baseline() {
        if (HWND window = Window())
            ::PostMessageA(window, WM_CLOSE, 0, 0);
        if (process_ && ::WaitForSingleObject(process_.get(), 5000) != WAIT_OBJECT_0)
            ::TerminateProcess(process_.get(), 1);
    }
    Baseline(const Baseline&) = delete;
    Baseline& operator=(const Baseline&) = delete;

    // Its window, once it has set everything up; null before.
    HWND Window() const {
        HWND window = nullptr;
        while ((window = ::FindWindowExA(nullptr, window, "TovraBenchTray", "TovraBenchTray")) != nullptr) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner == id_)
                return window;
        }
        return nullptr;
    }
    std::string ProcFolder() const { return LinuxProcFolder(path_); }

private:
    std::string path_;
    tovra::UniqueKernelHandle process_;
    DWORD id_ = 0;
};

// Sends WM_NULL to a window over and over from a thread of its own and keeps the longest answer.
class AnswerProbe {
public:
    explicit AnswerProbe(HWND window) : window_(window), thread_([this] { Run(); }) {}
    ~AnswerProbe() {
        stop_ = true;
        thread_.join();
    }
    double LongestMs() const { return longestMs_; }

private:
    void Run() {
        while (!stop_) {
            const auto sent = std::chrono::steady_clock::now();
            DWORD_PTR result = 0;
            ::SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent).count();
            longestMs_ = std::max(longestMs_.load(), ms);
            ::Sleep(2); // pacing only: the figure is each answer's own time
        }
    }
    HWND window_;
    std::atomic<bool> stop_{false};
    std::atomic<double> longestMs_{0};
    std::thread thread_;
};

bool EndsWith(const std::string& log, const std::string& last) {
    const std::size_t at = log.rfind(last);
    return at != std::string::npos && log.find_first_not_of(" \r\n", at + last.size()) == std::string::npos;
}

void PrintRow(const char* what, double tovra, double empty, double comparison) {
    const double ratio = comparison > 0 ? tovra / comparison : 0;
    std::printf("%-48s %10.0f %10.0f %10.0f %8.2f\n", what, tovra, empty, comparison, ratio);
}

void PrintSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes))
        std::printf("%s: %lu bytes\n", path.c_str(), static_cast<unsigned long>(attributes.nFileSizeLow));
}

} // namespace

int main(int argc, char** argv) {
    const int idleSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    if (argc > 2)
        ::SetEnvironmentVariableA("TOVRA_EXE", WindowsPath(argv[2]).c_str());
    const std::string tovraExe = TovraExePath();

    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, sizeof self);
    const std::string benchFolder = FolderOf(self);

    FtpTestServer ftp;
    EchoProxyServer echo;
    echo.UseAsProxyForThisProcess();
    const std::string echoHost = "ifconfig.me";
    echo.Answer(echoHost, 200, "198.51.100.23");
    const std::string templatePath = ftp.HomeWindowsPath() + "\\..\\tovra-bench-template.html";
    std::ofstream(templatePath, std::ios::binary) << "<html><IPAddress> <time> <date></html>";

    TestRegistry registry;
    registry.SetFtpSite(ftp, "/ip.html", templatePath);
    registry.Set("ForcePost", "1");

    // The baselines hold icons of their own in the tray while Tovra starts and stops: Wine's
    // explorer otherwise waits 2 s for a window manager each time the tray empties.
    Baseline empty(benchFolder + "bench_empty_tray.exe", "");
    Baseline comparison(benchFolder + "bench_comparison_tray.exe", "http://" + echoHost + "/");
    if (!WaitUntil([&] { return empty.Window() && comparison.Window(); }, 30s))
        std::printf("(a baseline program did not come up within 30 s)\n");

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
    }
    std::sort(startMs.begin(), startMs.end());
    if (!startMs.empty())
        std::printf("start to tray icon: median %.0f ms (min %.0f, max %.0f, %zu starts)\n",
                    startMs[startMs.size() / 2], startMs.front(), startMs.back(), startMs.size());

    TovraProcess tovra;
    const HWND main = tovra.WaitForMainWindow();
    WaitUntil([&] { return EndsWith(tovra.LogText(), "File uploaded successfully!"); }, 30s);
    const std::string tovraProc = LinuxProcFolder(tovraExe);
    const std::string emptyProc = empty.ProcFolder();
    const std::string comparisonProc = comparison.ProcFolder();
    WaitForSteadyThreads(tovraProc);
    const double tovraStartKiB = PrivateKiB(tovraProc);
    const double emptyKiB = PrivateKiB(emptyProc);
    const double comparisonKiB = PrivateKiB(comparisonProc);
    const double tovraThemeKiB = ThemeFileKiB(tovraProc);
    const double comparisonThemeKiB = ThemeFileKiB(comparisonProc);
    std::printf("threads after start: Tovra %d, empty %d, comparison %d\n", ThreadCount(tovraProc),
                ThreadCount(emptyProc), ThreadCount(comparisonProc));

    // Rounds of 100. The log's own text grows with every cycle until it is trimmed to its limit
    // (after about 350 cycles), so its size is printed beside the figures, and the growth over the
    // last 200 cycles apart: from then on, a leak would be the only growth left.
    double tovraLogFullKiB = 0; // after 400 cycles, once the log is at its limit
    for (int round = 1; round <= 6; ++round) {
        const auto roundStarted = std::chrono::steady_clock::now();
        for (int cycle = 0; cycle < 100; ++cycle) {
            // A cycle is done when the page is back on the server. The log is not read meanwhile:
            // copying half a megabyte out of the window at every look slowed the cycles tenfold.
            // A request made while the last check still finishes waits for it, and then uploads.
            ::DeleteFileA((ftp.HomeWindowsPath() + "\\ip.html").c_str());
            tovra.SendTrayCommand(ID_TRAY_POST_NOW);
            if (!WaitUntil([&] { return ftp.FileExists("ip.html"); }, 30s)) {
                std::printf("cycle %d of round %d did not come within 30 s\n", cycle + 1, round);
                return 1;
            }
        }
        WaitUntil([&] { return EndsWith(tovra.LogText(), "File uploaded successfully!"); }, 30s);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - roundStarted).count();
        if (round == 4) {
            WaitForSteadyThreads(tovraProc);
            tovraLogFullKiB = PrivateKiB(tovraProc);
        }
        std::printf("after %d cycles (%.1f s): private %.0f KiB, log %zu KiB\n", round * 100, seconds,
                    PrivateKiB(tovraProc), tovra.LogText().size() / 1024);
    }
    WaitUntil([&] { return EndsWith(tovra.LogText(), "File uploaded successfully!"); }, 30s);
    WaitForSteadyThreads(tovraProc);
    const double tovraCyclesKiB = PrivateKiB(tovraProc);

    // An idle minute between ticks: a tick in it would upload the page again, so it is measured
    // again when the page comes back.
    long long switches[3] = {-1, -1, -1};
    for (int attempt = 0; attempt < 3; ++attempt) {
        ::DeleteFileA((ftp.HomeWindowsPath() + "\\ip.html").c_str());
        const long long before[3] = {VoluntarySwitches(tovraProc), VoluntarySwitches(emptyProc),
                                     VoluntarySwitches(comparisonProc)};
        ::Sleep(static_cast<DWORD>(idleSeconds) * 1000); // the measurement itself
        const long long after[3] = {VoluntarySwitches(tovraProc), VoluntarySwitches(emptyProc),
                                    VoluntarySwitches(comparisonProc)};
        for (int i = 0; i < 3; ++i)
            switches[i] = (after[i] - before[i]) * 60 / idleSeconds;
        if (!ftp.FileExists("ip.html"))
            break;
        std::printf("(a tick fell into the idle minute; measuring again)\n");
    }

    // The window's answers while the network works for it: uploads, a lookup whose site never
    // answers, and an upload whose server never answers (both given up at their deadlines). The
    // benchmark reads no log meanwhile: copying the whole log out of the window is itself work
    // for the window's thread.
    const auto upload = [&] {
        ::DeleteFileA((ftp.HomeWindowsPath() + "\\ip.html").c_str());
        tovra.SendTrayCommand(ID_TRAY_POST_NOW);
        return WaitUntil([&] { return ftp.FileExists("ip.html"); }, 30s);
    };
    double uploadAnswerMs = 0;
    {
        const AnswerProbe probe(main);
        for (int cycle = 0; cycle < 20 && upload(); ++cycle) {
        }
        uploadAnswerMs = probe.LongestMs();
    }
    WaitUntil([&] { return EndsWith(tovra.LogText(), "File uploaded successfully!"); }, 30s);

    echo.Hang(echoHost);
    const std::size_t asked = echo.Requests().size();
    double lookupAnswerMs = 0;
    {
        const AnswerProbe probe(main);
        tovra.SendTrayCommand(ID_TRAY_POST_NOW);
        WaitUntil([&] { return echo.Requests().size() > asked; }, 10s);
        ::Sleep(3000); // well into the hang
        lookupAnswerMs = probe.LongestMs();
    }
    WaitUntil([&] { return EndsWith(tovra.LogText(), "No IP Address could be detected."); }, 90s);

    ftp.SetFault(FtpFault::Hang);
    double hungUploadAnswerMs = 0;
    {
        const AnswerProbe probe(main);
        tovra.Click(IDC_MAIN_POST_NOW);
        ::Sleep(3000); // well into the hang
        hungUploadAnswerMs = probe.LongestMs();
    }

    std::printf("\n%-48s %10s %10s %10s %8s\n", "", "Tovra", "empty", "comparison", "ratio");
    PrintRow("voluntary context switches per idle minute", static_cast<double>(switches[0]),
             static_cast<double>(switches[1]), static_cast<double>(switches[2]));
    PrintRow("private memory after start, KiB", tovraStartKiB, emptyKiB, comparisonKiB);
    PrintRow("  of which the theme file's pages, KiB", tovraThemeKiB, ThemeFileKiB(emptyProc),
             comparisonThemeKiB);
    PrintRow("private memory after 600 cycles, KiB", tovraCyclesKiB, emptyKiB, comparisonKiB);
    std::printf("%-48s %+10.0f\n", "growth over 600 cycles, KiB", tovraCyclesKiB - tovraStartKiB);
    std::printf("%-48s %+10.0f   (the log at its limit)\n", "  of which over the last 200 cycles, KiB",
                tovraCyclesKiB - tovraLogFullKiB);
    std::printf("%-48s %10.1f   (at most 50)\n", "longest answer during a lookup, ms", lookupAnswerMs);
    std::printf("%-48s %10.1f   (at most 50)\n", "longest answer during uploads, ms", uploadAnswerMs);
    std::printf("%-48s %10.1f   (at most 50)\n", "longest answer during a hung upload, ms",
                hungUploadAnswerMs);

    PrintSize(tovraExe);
    const std::size_t build = tovraExe.rfind("\\build\\");
    if (build != std::string::npos) {
        PrintSize(tovraExe.substr(0, build) + "\\build\\release\\app\\tovra.exe");
        PrintSize(tovraExe.substr(0, build) + "\\build\\release\\tovra.exe");
    }

    ::DeleteFileA(templatePath.c_str());
    return 0;
}
