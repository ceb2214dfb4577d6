#include "settings/Settings.h"

#include <limits>

namespace tovra {

std::int32_t LeadingInteger(std::string_view text) noexcept {
    std::size_t i = 0;
    // The blanks atoi skips are those of isspace in the "C" locale.
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kLimit)
            magnitude = kLimit;
    }
    if (negative)
        return static_cast<std::int32_t>(-magnitude);
    return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::max()
                               : static_cast<std::int32_t>(magnitude);
}

bool DecodeFlag(std::string_view stored, bool whenEmpty) noexcept {
    if (stored.empty())
        return whenEmpty;
    return LeadingInteger(stored) == 1;
}

PageProtocol DecodePageProtocol(std::string_view stored) noexcept {
    if (stored == "ftps")
        return PageProtocol::Ftps;
    if (stored == "webdav")
        return PageProtocol::WebDav;
    return PageProtocol::Ftp;
}

const char* EncodePageProtocol(PageProtocol protocol) noexcept {
    switch (protocol) {
    case PageProtocol::Ftps:
        return "ftps";
    case PageProtocol::WebDav:
        return "webdav";
    case PageProtocol::Ftp:
        break;
    }
    return "ftp";
}

const char* DefaultPort(PageProtocol protocol) noexcept {
    // Explicit FTP over TLS starts as plain FTP does, on 21, and secures the connection there.
    return protocol == PageProtocol::WebDav ? "443" : Settings::kDefaultPort;
}

} // namespace tovra
