// Page expansion throughput: how the time grows with the size of the template and with the
// number of placeholders in it. The page is held in memory whole, as the generator holds it.
//
//   template_bench [repetitions]

#include "upload/TemplateExpander.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// `size` bytes of HTML-like text with one placeholder about every `spacing` bytes (none for 0),
// cycling through all nine spellings.
std::string MakeTemplate(std::size_t size, std::size_t spacing) {
    static const char* const kPlaceholders[] = {"<IPAddress>", "<IPaddress>", "<IpAddress>",
                                                "<ipAddress>", "<ipaddress>", "<Time>",
                                                "<time>",      "<Date>",      "<date>"};
    const std::string filler = "<p>The address of this machine is published here.</p>\r\n";
    std::string page;
    page.reserve(size + 64);
    std::size_t next = spacing;
    std::size_t which = 0;
    while (page.size() < size) {
        if (spacing != 0 && page.size() >= next) {
            page += kPlaceholders[which++ % 9];
            next += spacing;
        } else {
            page += filler;
        }
    }
    page.resize(size);
    return page;
}

double MedianSeconds(const std::string& templ, int repetitions, std::size_t& outputSize) {
    tovra::LocalDateTime now;
    now.year = 2026;
    now.month = 12;
    now.day = 7;
    now.dayOfWeek = 1;
    now.hour = 21;
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        std::string page = templ; // the copy is part of what the generator does too
        const auto start = Clock::now();
        tovra::ExpandTemplate(page, "203.0.113.7", "2001:db8::7", now);
        times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        outputSize = page.size();
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    struct Case {
        const char* name;
        std::size_t size;
        std::size_t spacing;
    };
    const Case cases[] = {
        {"10 KB, no placeholder", 10 * 1024, 0},       {"10 KB, 1 per 1 KB", 10 * 1024, 1024},
        {"10 KB, 1 per 16 B", 10 * 1024, 16},          {"10 MB, no placeholder", 10 * 1024 * 1024, 0},
        {"10 MB, 1 per 1 KB", 10 * 1024 * 1024, 1024}, {"10 MB, 1 per 64 B", 10 * 1024 * 1024, 64},
        {"10 MB, 1 per 16 B", 10 * 1024 * 1024, 16},
    };
    std::printf("%-24s %12s %12s %12s %10s\n", "template", "placeholders", "median ms", "MB/s", "out bytes");
    for (const Case& c : cases) {
        const std::string templ = MakeTemplate(c.size, c.spacing);
        std::size_t count = 0;
        for (std::size_t at = templ.find('<'); at != std::string::npos; at = templ.find('<', at + 1))
            count += templ.compare(at, 2, "<p") != 0 && templ.compare(at, 3, "</p") != 0;
        std::size_t outputSize = 0;
        const double seconds = MedianSeconds(templ, repetitions, outputSize);
        std::printf("%-24s %12zu %12.3f %12.1f %10zu\n", c.name, count, seconds * 1e3,
                    static_cast<double>(c.size) / (1024.0 * 1024.0) / seconds, outputSize);
    }
    return 0;
}
