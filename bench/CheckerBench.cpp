// The checker's cost in time: from RequestCheck to OnAddressDetected against a loopback echo site
// that answers at once (split into the wait for the idle loop to take the request up and the web
// lookup itself), then the CPU time the process spends while the checker idles.
//
//   checker_bench [idle-seconds]      (under Wine: scripts/wine-run.sh BUILD_DIR checker_bench.exe)

#include "detection/IpAddressChecker.h"
#include "tests/support/EchoProxyServer.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Notes when the check starts (busy icon), when the lookup starts and when the result arrives.
class TimingOwner : public tovra::CheckerOwner {
public:
    TimingOwner() : detected_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    void AppendLog(std::string_view line) override {
        if (line.rfind("Asking ", 0) == 0)
            Note(asked_);
    }
    void OnAddressDetected(const std::string&, const std::string&, bool) override {
        Note(detectedAt_);
        ::SetEvent(detected_.get());
    }
    void SetBusy(bool busy) override {
        if (busy)
            Note(busyAt_);
    }

    HANDLE Detected() const { return detected_.get(); }
    // Request time to busy icon, to the lookup, to the result.
    void Times(Clock::time_point& busy, Clock::time_point& asked, Clock::time_point& detected) {
        std::lock_guard guard(mutex_);
        busy = busyAt_;
        asked = asked_;
        detected = detectedAt_;
    }

private:
    void Note(Clock::time_point& field) {
        std::lock_guard guard(mutex_);
        field = Clock::now();
    }

    tovra::UniqueKernelHandle detected_;
    std::mutex mutex_;
    Clock::time_point busyAt_, asked_, detectedAt_;
};

double ProcessCpuSeconds() {
    FILETIME created, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto value = [](FILETIME t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return (value(kernel) + value(user)) / 1e7;
}

void Report(const char* what, std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::printf("%-34s min %7.2f  median %7.2f  max %7.2f ms\n", what, values.front(),
                values[values.size() / 2], values.back());
}

} // namespace

int main(int argc, char** argv) {
    const int idleSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    tovra::test::EchoProxyServer echo;
    echo.UseAsProxyForThisProcess();
    const std::vector<tovra::IpSite> sites = tovra::DefaultIpSites();
    echo.Answer(sites[0].host, 200, "84.12.3.7\n");

    auto owner = std::make_shared<TimingOwner>();
    auto checker = std::make_shared<tovra::CIpAddressChecker>(owner);
    checker->Start();

    std::vector<double> total, pickUp, lookup;
    for (int i = 0; i < 21; ++i) {
        // Requests a whole poll interval apart would all wait the same; these land anywhere in it.
        ::Sleep(static_cast<DWORD>(i * 37 % 100));
        const Clock::time_point requested = Clock::now();
        checker->RequestCheck(true, true);
        if (::WaitForSingleObject(owner->Detected(), 20000) != WAIT_OBJECT_0) {
            std::printf("no result within 20 s\n");
            return 1;
        }
        Clock::time_point busy, asked, detected;
        owner->Times(busy, asked, detected);
        total.push_back(Milliseconds(detected - requested));
        pickUp.push_back(Milliseconds(busy - requested));
        lookup.push_back(Milliseconds(detected - asked));
    }
    Report("RequestCheck -> OnAddressDetected", total);
    Report("  of which waiting for the loop", pickUp);
    Report("  of which the web lookup", lookup);

    const double before = ProcessCpuSeconds();
    ::Sleep(static_cast<DWORD>(idleSeconds) * 1000); // the measurement itself: idle for a while
    const double used = ProcessCpuSeconds() - before;
    std::printf("process CPU while idle for %d s: %.3f s (%.3f%%)\n", idleSeconds, used,
                100.0 * used / idleSeconds);

    checker->Stop(1000);
    return 0;
}
