// What TLS costs a posting: a 10 KB page posted over FTP with TLS beside the same page over plain
// FTP, to the same kind of server (pyftpdlib on loopback) in the same run, alternating so that
// the machine's noise falls on both alike. Each posting is a whole one: connect, sign in, store,
// and for FTP with TLS the two handshakes and the rename. Runs under Wine:
//   scripts/wine-run.sh BUILD_DIR bench/ftps_bench.exe [postings]
// Prints figures only; it asserts nothing.

#include "framework/WideText.h"
#include "framework/Win32Handles.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/FtpsTestServer.h"
#include "tests/support/TrustedAuthority.h"
#include "upload/FtpsUploader.h"
#include "upload/MyFtpUploader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

using namespace tovra;
using namespace tovra::test;
using Clock = std::chrono::steady_clock;

namespace {

class QuietLog : public LogSink {
public:
    void AppendLog(std::string_view text) override { last = text; }
    std::string last;
};

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void Report(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times)
        sum += t;
    std::printf("%-28s median %7.1f ms   mean %7.1f ms   min %7.1f ms   max %7.1f ms\n", what,
                times[times.size() / 2], sum / static_cast<double>(times.size()), times.front(),
                times.back());
}

} // namespace

int main(int argc, char** argv) {
    const int postings = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    std::string page;
    for (int line = 0; page.size() < 10240; ++line)
        page += "<p>The address is 203.0.113.7, line " + std::to_string(line) + ".</p>\r\n";
    page.resize(10240);

    FtpsTestServer secure(FtpsTestServer::Kind::Pyftpdlib);
    const TrustedAuthority trust(secure.AuthorityCertificate());
    FtpTestServer plain;

    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder =
        std::string(temp) + "tovra-ftps-bench-" + std::to_string(::GetCurrentProcessId()) + "\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    std::ofstream(folder + "page.html", std::ios::binary) << page;

    QuietLog log;
    const UniqueKernelHandle stop(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    CMyFtpUploader ftp(
        log, PageGenerator(WidenAnsi(folder), WidenAnsi(folder), [] { return LocalDateTime(); }), stop.get());
    ftp.site.serverAddress = "127.0.0.1";
    ftp.site.port = plain.Port();
    ftp.site.userName = plain.User();
    ftp.site.password = plain.Password();
    ftp.site.remotePath = "/ip.html";
    ftp.site.templateFile = folder + "page.html";
    ftp.site.passiveMode = 1;
    ftp.SetIpAddress("203.0.113.7");

    FtpsUploader ftps(log, stop.get());
    FtpsJob job;
    job.server = "localhost";
    job.port = secure.Port();
    job.userName = secure.User();
    job.password = secure.Password();
    job.remotePath = "/ip.html";
    job.passive = true;
    job.page = page;

    std::vector<double> plainTimes;
    std::vector<double> secureTimes;
    int failures = 0;
    for (int i = 0; i < postings + 1; ++i) {
        Clock::time_point start = Clock::now();
        const bool plainDone = ftp.Upload();
        ftp.CloseConnection();
        const double plainMs = Milliseconds(Clock::now() - start);
        start = Clock::now();
        const bool secureDone = ftps.Upload(job).uploaded;
        const double secureMs = Milliseconds(Clock::now() - start);
        if (!plainDone || !secureDone) {
            ++failures;
            std::printf("posting %d failed: %s\n", i, log.last.c_str());
        }
        if (i == 0)
            continue; // the first of each starts Winsock, WinINet and Schannel for the process
        plainTimes.push_back(plainMs);
        secureTimes.push_back(secureMs);
    }
    std::printf("%d postings of a %zu-byte page each way on loopback (passive mode), %d failed\n", postings,
                page.size(), failures);
    Report("FTP (WinINet)", plainTimes);
    Report("FTP with TLS (Schannel)", secureTimes);
    std::vector<double> ratios;
    for (std::size_t i = 0; i < plainTimes.size(); ++i)
        ratios.push_back(secureTimes[i] / plainTimes[i]);
    std::sort(ratios.begin(), ratios.end());
    std::printf("TLS / plain, median of the pairs: %.2f (goal: at most 2)\n", ratios[ratios.size() / 2]);
    ::DeleteFileA((folder + "page.html").c_str());
    ::RemoveDirectoryA(folder.c_str());
    return failures == 0 ? 0 : 1;
}
