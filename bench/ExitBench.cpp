// How long Exit takes to end the real program while something is under way: a hanging lookup, an
// upload hanging at each step, and each modal box open. For each case: the time from the tray's
// "E&xit" command to the end of the process, and how the process ended; then each case's median.
// An icon of the bench's own stays in the tray throughout (see TrayAnchor.h), so the figures are
// the program's and not Wine's wait when the tray empties.
// Runs under Wine with the loopback FTP server and echo proxy of the tests:
//   scripts/wine-run.sh BUILD_DIR bench/exit_bench.exe [repeats] [case]
// A case name ("About box open") runs that case alone.
// Prints figures only; it asserts nothing.

#include "resources/AdvancedPageIds.h"
#include "resources/MainDialogIds.h"
#include "resources/TrayMenuIds.h"
#include "tests/e2e/TovraProcess.h"
#include "tests/e2e/TrayAnchor.h"
#include "tests/support/EchoProxyServer.h"
#include "tests/support/FtpTestServer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <vector>

using namespace tovra::test;

namespace {

struct Servers {
    FtpTestServer& ftp;
    EchoProxyServer& echo;
};

struct Case {
    const char* name;
    // Prepares the servers before the start (may be empty).
    std::function<void(Servers&)> before;
    // Runs after the start until the situation is reached; false when it was not.
    std::function<bool(TovraProcess&, Servers&)> reach;
};

std::vector<Case> Cases() {
    auto ftpFault = [](FtpFault fault) { return [fault](Servers& s) { s.ftp.SetFault(fault); }; };
    auto logSays = [](const char* text) {
        return [text](TovraProcess& t, Servers&) { return t.WaitForLogLine(text, 30s); };
    };
    return {
        {"idle", nullptr, logSays("File uploaded successfully!")},
        {"lookup hangs", [](Servers& s) { s.echo.Hang("ifconfig.me"); },
         [](TovraProcess&, Servers& s) {
             return WaitUntil([&] { return !s.echo.Requests().empty(); }, 30s);
         }},
        {"FTP greeting hangs", ftpFault(FtpFault::Hang), logSays("Connecting to ")},
        {"CWD hangs", ftpFault(FtpFault::HangOnDirectory), logSays("Setting remote directory...")},
        {"STOR hangs", ftpFault(FtpFault::HangOnStore), logSays("Uploading file...")},
        {"About box open", nullptr,
         [](TovraProcess& t, Servers&) {
             t.SendTrayCommand(ID_TRAY_ABOUT);
             return t.WaitForDialog("About Tovra", 30s) != nullptr;
         }},
        {"Add IP Site open", nullptr,
         [](TovraProcess& t, Servers&) {
             t.SendTrayCommand(ID_TRAY_SHOW);
             WaitUntil([&] { return t.Control(IDC_IP_SITE_ADD) != nullptr; }, 30s);
             t.PressPageButton(IDC_IP_SITE_ADD);
             return t.WaitForDialog("Add IP Site", 30s) != nullptr;
         }},
        // A server that hangs up at once brings up "Could not retrieve Error Message!". The main
        // window stays hidden, so the box is the only visible "Tovra". The start-up check posts.
        {"error box open", ftpFault(FtpFault::HangUp),
         [](TovraProcess& t, Servers&) { return t.WaitForDialog("Tovra", 30s) != nullptr; }},
        // The same box from "Post IP now", which posts the stored address on a thread of its own;
        // the start-up check finds no address and posts nothing.
        {"error box (button)",
         [](Servers& s) {
             s.ftp.SetFault(FtpFault::HangUp);
             s.echo.Answer("ifconfig.me", 404, "");
         },
         [](TovraProcess& t, Servers&) {
             if (!t.WaitForLogLine("No IP Address could be detected.", 60s))
                 return false;
             t.PressPageButton(IDC_MAIN_POST_NOW);
             return t.WaitForDialog("Tovra", 30s) != nullptr;
         }},
    };
}

// One start of the program in the case's situation, then Exit; prints the run's line and returns
// the milliseconds from Exit to the end of the process (negative when the situation was not
// reached).
double RunOnce(const Case& c, int run) {
    FtpTestServer ftp;
    EchoProxyServer echo;
    echo.UseAsProxyForThisProcess();
    echo.Answer("ifconfig.me", 200, "198.51.100.23");
    const std::string templatePath = ftp.HomeWindowsPath() + "\\..\\tovra-exit-bench.html";
    std::ofstream(templatePath, std::ios::binary) << "<html><IPAddress></html>";
    TestRegistry registry;
    registry.SetFtpSite(ftp, "/pub/ip.html", templatePath);
    registry.Set("ForcePost", "1");
    registry.Set("LastIP", "198.51.100.23");
    ftp.MakeDirectory("pub");
    Servers servers{ftp, echo};
    if (c.before)
        c.before(servers);

    double ms = -1;
    {
        TovraProcess tovra;
        if (!tovra.WaitForMainWindow() || !c.reach(tovra, servers)) {
            std::printf("%-20s run %d: situation not reached\n", c.name, run);
        } else {
            const auto asked = std::chrono::steady_clock::now();
            tovra.SendTrayCommand(ID_TRAY_EXIT);
            const bool ended = tovra.WaitForExit(30s);
            ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - asked).count();
            std::printf("%-20s run %d: %s after %.0f ms, exit code %lu\n", c.name, run,
                        ended ? "ended" : "STILL RUNNING", ms, ended ? tovra.ExitCode() : 0UL);
        }
        std::fflush(stdout);
    }
    ::DeleteFileA(templatePath.c_str());
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const TrayAnchor anchor("Tovra exit bench");
    if (!anchor.Added())
        std::printf("warning: the bench's own tray icon was not added; each Exit may include Wine's 2 s\n");
    std::vector<std::pair<const char*, std::vector<double>>> figures;
    for (const Case& c : Cases()) {
        if (argc > 2 && std::string(argv[2]) != c.name)
            continue;
        std::vector<double> ms;
        for (int run = 1; run <= repeats; ++run) {
            if (const double taken = RunOnce(c, run); taken >= 0)
                ms.push_back(taken);
        }
        std::sort(ms.begin(), ms.end());
        figures.emplace_back(c.name, ms);
    }
    std::printf("\nExit to process end, median (min, max) of %d runs:\n", repeats);
    for (const auto& [name, ms] : figures) {
        if (ms.empty())
            std::printf("  %-20s not reached\n", name);
        else
            std::printf("  %-20s %6.0f ms (%.0f, %.0f)%s\n", name, ms[ms.size() / 2], ms.front(), ms.back(),
                        ms.back() >= 30000 ? ", still running at 30 s" : "");
    }
    return 0;
}
