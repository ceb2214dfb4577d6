// Address scan throughput in MB/s over pages of the size the checker reads: realistic echo pages
// (the address alone, or inside HTML after a stretch of markup) and adversarial ones (long runs of
// digits and dots that look like addresses until their last character).
//
//   address_scan_bench [repetitions]

#include "detection/AddressScan.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string Repeat(const std::string& unit, std::size_t size) {
    std::string page;
    while (page.size() < size)
        page += unit;
    page.resize(size);
    return page;
}

struct Page {
    const char* name;
    std::string bytes;
};

std::vector<Page> Pages() {
    const std::size_t size = tovra::kPageReadBytes;
    std::string html =
        Repeat("<div class=\"row\"><span>Version 1.2 of 2026-12-07</span></div>\r\n", size - 40);
    html += "Current IP Address: 84.12.3.7</body>";
    return {
        {"address alone", "84.12.3.7\n"},
        {"HTML, address at the end", html},
        {"plain text, no address", Repeat("The quick brown fox jumps over the lazy dog. ", size)},
        {"digits only", Repeat("1234567890", size)},
        {"dots only", Repeat(".", size)},
        {"near-misses 1.2.3.4.5", Repeat("1.2.3.4.5 ", size)},
        {"near-misses 999.1.1.1", Repeat("999.1.1.1 ", size)},
        {"digit-dot pairs", Repeat("1.", size)},
        {"three-digit groups", Repeat("123.", size)},
    };
}

double MedianSeconds(const std::string& page, int repetitions, std::uint32_t& sink) {
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        const auto start = Clock::now();
        for (int j = 0; j < 100; ++j)
            sink += tovra::FindFirstAddress(page);
        times.push_back(std::chrono::duration<double>(Clock::now() - start).count() / 100);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 51;
    std::uint32_t sink = 0;
    std::printf("%-28s %8s %12s %10s\n", "page", "bytes", "us/scan", "MB/s");
    for (const Page& page : Pages()) {
        const double seconds = MedianSeconds(page.bytes, repetitions, sink);
        std::printf("%-28s %8zu %12.2f %10.1f\n", page.name, page.bytes.size(), seconds * 1e6,
                    page.bytes.size() / seconds / 1e6);
    }
    return sink == 42 ? 1 : 0; // keeps the scans from being optimised away
}
