// What a silent or trickling server costs the network layer: how long a hanging lookup and a
// silent FTP step take to be given up (with the log lines the user sees), and the threads,
// connections and memory (committed, working set) left behind after ten checks of a trickling
// echo site and ten postings to an FTP server that trickles its greeting.
// Runs under Wine with the loopback FTP server and echo proxy of the tests:
//   scripts/wine-run.sh BUILD_DIR bench/network_bench.exe [trickle-bound-ms]
// The trickle rounds use a short bound (1000 ms by default): what is left behind does not depend
// on it. Prints figures only; it asserts nothing.

#include "detection/WebLookup.h"
#include "framework/Win32Handles.h"
#include "tests/support/EchoProxyServer.h"
#include "tests/support/FtpTestServer.h"
#include "upload/MyFtpUploader.h"

#include <winsock2.h>

#include <iphlpapi.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

using namespace tovra;
using namespace tovra::test;
using Clock = std::chrono::steady_clock;

namespace {

class PrintedLog : public LogSink {
public:
    void AppendLog(std::string_view text) override {
        std::lock_guard lock(mutex_);
        if (text.empty() || text[0] != '[') // the step lines, not the status lines
            std::printf("    log: %.*s\n", static_cast<int>(text.size()), text.data());
    }

private:
    std::mutex mutex_;
};

struct Footprint {
    unsigned threads = 0;
    unsigned connections = 0; // established, to the server's port, seen from our side
    double committedMb = 0;
    double workingSetMb = 0;
};

Footprint Measure(unsigned short serverPort) {
    Footprint f;
    const UniqueKernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Thread32First(snapshot.get(), &entry); more;
         more = ::Thread32Next(snapshot.get(), &entry))
        f.threads += entry.th32OwnerProcessID == ::GetCurrentProcessId();
    std::vector<char> buffer(1 << 20);
    ULONG size = static_cast<ULONG>(buffer.size());
    if (::GetTcpTable(reinterpret_cast<MIB_TCPTABLE*>(buffer.data()), &size, FALSE) == NO_ERROR) {
        const auto* table = reinterpret_cast<const MIB_TCPTABLE*>(buffer.data());
        for (DWORD i = 0; i < table->dwNumEntries; ++i)
            f.connections += table->table[i].dwState == MIB_TCP_STATE_ESTAB &&
                             ntohs(static_cast<u_short>(table->table[i].dwRemotePort)) == serverPort;
    }
    // Under Wine, PrivateUsage reads 0; the working set and the committed pages are Linux's own
    // figures for this process (VmRSS, and what Wine counts as committed).
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory);
    f.committedMb = memory.PagefileUsage / 1048576.0;
    f.workingSetMb = memory.WorkingSetSize / 1048576.0;
    return f;
}

void Print(const char* what, const Footprint& before, const Footprint& after) {
    std::printf("  %s: threads %u -> %u, connections %u -> %u, committed %.2f -> %.2f MB, "
                "working set %.2f -> %.2f MB\n",
                what, before.threads, after.threads, before.connections, after.connections,
                before.committedMb, after.committedMb, before.workingSetMb, after.workingSetMb);
}

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Bounds(EchoProxyServer& echo, HANDLE stop, const std::wstring& folder) {
    echo.Hang("hang.test");
    const WebLookup lookup(stop);
    auto start = Clock::now();
    const LookupResult result = lookup.Ask({"hang.test", "/"});
    std::printf("  hanging lookup given up after %.0f ms\n    log: %s\n", MsSince(start),
                lookup.FailureLine("hang.test/", result).c_str());
    for (FtpFault fault : {FtpFault::Hang, FtpFault::HangOnDirectory}) {
        FtpTestServer ftp;
        PrintedLog log;
        CMyFtpUploader uploader(log, PageGenerator(folder, folder, [] { return LocalDateTime{}; }));
        uploader.site = {};
        uploader.site.serverAddress = "127.0.0.1";
        uploader.site.port = ftp.Port();
        uploader.site.userName = ftp.User();
        uploader.site.password = ftp.Password();
        uploader.site.remotePath = "/pub/ip.html";
        uploader.SetErrorBox([](const char*) {});
        ftp.SetFault(fault);
        std::printf("  FTP %s silent:\n", fault == FtpFault::Hang ? "greeting" : "CWD");
        start = Clock::now();
        uploader.Upload();
        std::printf("    given up after %.0f ms\n", MsSince(start));
    }
}

void Trickles(EchoProxyServer& echo, HANDLE stop, const std::wstring& folder, DWORD boundMs) {
    echo.Trickle("trickle.test");
    const WebLookup lookup(stop, boundMs);
    const std::size_t asked = echo.Requests().size();
    Footprint before = Measure(echo.Port());
    for (int check = 0; check < 10; ++check)
        lookup.Ask({"trickle.test", "/"});
    Print("10 checks of a trickling site", before, Measure(echo.Port()));
    std::printf("    the site saw %zu requests\n", echo.Requests().size() - asked);

    FtpTestServer ftp;
    ftp.SetFault(FtpFault::TrickleGreeting);
    PrintedLog log;
    CMyFtpUploader uploader(log, PageGenerator(folder, folder, [] { return LocalDateTime{}; }));
    uploader.site.serverAddress = "127.0.0.1";
    uploader.site.port = ftp.Port();
    uploader.site.userName = ftp.User();
    uploader.site.password = ftp.Password();
    uploader.SetErrorBox([](const char*) {});
    uploader.SetStepTimeout(boundMs);
    before = Measure(ftp.Port());
    for (int posting = 0; posting < 10; ++posting)
        uploader.Upload();
    Print("10 postings to a trickling FTP greeting", before, Measure(ftp.Port()));
}

} // namespace

int main(int argc, char** argv) {
    const DWORD boundMs = argc > 1 ? static_cast<DWORD>(std::atoi(argv[1])) : 1000;
    EchoProxyServer echo;
    echo.UseAsProxyForThisProcess();
    const UniqueKernelHandle stop(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::printf("Bounds (the program's own: 10 s a lookup, 30 s an FTP step):\n");
    Bounds(echo, stop.get(), temp);
    std::printf("Trickling servers (bound %lu ms):\n", static_cast<unsigned long>(boundMs));
    Trickles(echo, stop.get(), temp, boundMs);
    std::fflush(stdout);
    // Helpers still held by the trickling servers are left to the process's end.
    ::ExitProcess(0);
}
