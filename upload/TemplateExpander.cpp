#include "upload/TemplateExpander.h"

#include <cstring>

namespace tovra {

void AppendChunkText(std::string& page, const char* chunk, std::size_t size) {
    const void* zero = std::memchr(chunk, '\0', size);
    page.append(chunk, zero ? static_cast<const char*>(zero) - chunk : size);
}

void ReplaceAll(std::string& text, std::string_view placeholder, std::string_view replacement) {
    if (placeholder.empty())
        return;
    std::size_t found = text.find(placeholder);
    if (found == std::string::npos)
        return;
    // One pass into a new text: replacing in place would move the tail once per occurrence, which
    // turns a large page full of placeholders quadratic.
    std::string result;
    result.reserve(text.size());
    std::size_t copied = 0;
    while (found != std::string::npos) {
        result.append(text, copied, found - copied);
        result.append(replacement);
        copied = found + placeholder.size();
        found = text.find(placeholder, copied);
    }
    result.append(text, copied, std::string::npos);
    text.swap(result);
}

std::string PageTimeText(const LocalDateTime& now) {
    return FormatClockTime(now);
}

std::string PageDateText(const LocalDateTime& now) {
    return FormatTime(now, "%A, %d %B, %Y");
}

void ExpandTemplate(std::string& page, std::string_view ipAddress, const LocalDateTime& now) {
    for (const char* placeholder :
         {"<IPAddress>", "<IPaddress>", "<IpAddress>", "<ipAddress>", "<ipaddress>"})
        ReplaceAll(page, placeholder, ipAddress);
    const std::string time = PageTimeText(now);
    ReplaceAll(page, "<Time>", time);
    ReplaceAll(page, "<time>", time);
    const std::string date = PageDateText(now);
    ReplaceAll(page, "<Date>", date);
    ReplaceAll(page, "<date>", date);
}

} // namespace tovra
