#include "cycle/SiteValidation.h"

namespace tovra {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// atoi's reading, without its undefined behaviour on overflow: the value saturates just above the
// largest port, which is enough to refuse it.
long ReadPortNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 65536)
            value = 65536;
    }
    return negative ? -value : value;
}

} // namespace

SiteCheck ValidateSite(std::string_view siteAddress, std::string_view sitePort) {
    if (siteAddress.empty())
        return {SiteProblem::MissingSiteAddress, 0};
    if (sitePort.empty())
        return {SiteProblem::BadPort, 0};
    const long port = ReadPortNumber(sitePort);
    if (port < 0 || port > 65535)
        return {SiteProblem::BadPort, 0};
    return {SiteProblem::None, static_cast<unsigned short>(port)};
}

} // namespace tovra
