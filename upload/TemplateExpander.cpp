#include "upload/TemplateExpander.h"

#include <cstring>

namespace tovra {
namespace {

// Replaces into `scratch` and swaps, so that the old text's buffer becomes the next pass's
// scratch: a large page then costs two allocations for all nine passes, not one per pass. (A
// fresh 10 MB buffer costs more in page faults than the scan itself.) Replacing in place instead
// would move the tail once per occurrence, which makes a large page full of placeholders
// quadratic.
void ReplaceAllVia(std::string& text, std::string_view placeholder, std::string_view replacement,
                   std::string& scratch) {
    if (placeholder.empty())
        return;
    std::size_t found = text.find(placeholder);
    if (found == std::string::npos)
        return;
    scratch.clear();
    scratch.reserve(text.size());
    std::size_t copied = 0;
    while (found != std::string::npos) {
        scratch.append(text, copied, found - copied);
        scratch.append(replacement);
        copied = found + placeholder.size();
        found = text.find(placeholder, copied);
    }
    scratch.append(text, copied, std::string::npos);
    text.swap(scratch);
}

} // namespace

void AppendChunkText(std::string& page, const char* chunk, std::size_t size) {
    const void* zero = std::memchr(chunk, '\0', size);
    page.append(chunk, zero ? static_cast<const char*>(zero) - chunk : size);
}

void ReplaceAll(std::string& text, std::string_view placeholder, std::string_view replacement) {
    std::string scratch;
    ReplaceAllVia(text, placeholder, replacement, scratch);
}

std::string PageTimeText(const LocalDateTime& now) {
    return FormatClockTime(now);
}

std::string PageDateText(const LocalDateTime& now) {
    return FormatTime(now, "%A, %d %B, %Y");
}

void ExpandTemplate(std::string& page, std::string_view ipAddress, std::string_view ipv6Address,
                    const LocalDateTime& now) {
    const std::string time = PageTimeText(now);
    const std::string date = PageDateText(now);
    const std::string_view passes[][2] = {
        {"<IPAddress>", ipAddress},
        {"<IPaddress>", ipAddress},
        {"<IpAddress>", ipAddress},
        {"<ipAddress>", ipAddress},
        {"<ipaddress>", ipAddress},
        {"<Time>", time},
        {"<time>", time},
        {"<Date>", date},
        {"<date>", date},
        {"<IPv6Address>", ipv6Address},
        {"<ipv6address>", ipv6Address},
    };
    std::string scratch;
    for (const auto& [placeholder, replacement] : passes)
        ReplaceAllVia(page, placeholder, replacement, scratch);
}

} // namespace tovra
