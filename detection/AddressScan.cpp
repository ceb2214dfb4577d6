#include "detection/AddressScan.h"

#include <algorithm>

namespace tovra {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

const char* SkipDigits(const char* p, const char* end) {
    while (p != end && IsDigit(*p))
        ++p;
    return p;
}

// Fewer characters of digits and dots than "1.2.3.4" cannot hold an address.
constexpr std::ptrdiff_t kShortestAddressText = 7;
constexpr std::ptrdiff_t kLongestGroup = 3;

// One group as inet_addr reads it: a leading 0 makes it octal. Returns -1 for a digit 8 or 9 in an
// octal group or a value above 255.
int GroupValue(const char* first, const char* last) {
    const int base = *first == '0' ? 8 : 10;
    int value = 0;
    for (const char* p = first; p != last; ++p) {
        const int digit = *p - '0';
        if (digit >= base)
            return -1;
        value = value * base + digit;
    }
    return value <= 255 ? value : -1;
}

} // namespace

std::uint32_t ScanDottedQuad(const char*& position, const char* end) {
    // Only whether the run of digits and dots is long enough matters; measuring all of it would
    // make a page of "1.1.1.1.1..." cost time quadratic in its length.
    const char* run = position;
    while (run != end && run - position < kShortestAddressText && (IsDigit(*run) || *run == '.'))
        ++run;
    if (run - position < kShortestAddressText) {
        position = run;
        return 0;
    }

    const char* p = position;
    std::uint32_t address = 0;
    bool valid = true;
    for (int group = 0; group < 4; ++group) {
        const char* digits = p;
        p = SkipDigits(p, end);
        if (p == digits || p - digits > kLongestGroup) {
            // A run that starts with a dot has no first group; step over that dot.
            position = p == position ? p + 1 : p;
            return 0;
        }
        // The text must be read to the end of the fourth group before it is judged, so that the
        // scan resumes at the same place whatever the values are.
        const int value = GroupValue(digits, p);
        valid = valid && value >= 0;
        address = (address << 8) | static_cast<std::uint32_t>(value < 0 ? 0 : value);

        if (group < 3) {
            if (p == end || *p != '.') {
                position = p;
                return 0;
            }
            ++p;
        } else if (p != end && *p == '.') {
            // 1.2.3.4.5 is no address, and neither is any part of it.
            position = p + 1;
            return 0;
        }
    }
    // Pass over the one character that ends the fourth group: it is neither digit nor dot.
    position = p == end ? end : p + 1;
    return valid ? address : 0;
}

std::uint32_t FindFirstAddress(std::string_view page) {
    const std::size_t length = std::min(page.size(), page.find('\0'));
    const char* const begin = page.data();
    const char* const end = begin + length;
    const char* const lastStart = begin + std::min(length, kScannedPageBytes);

    const char* position = begin;
    while (position < lastStart) {
        position = std::find_if(position, lastStart, IsDigit);
        if (position == lastStart)
            break;
        if (const std::uint32_t address = ScanDottedQuad(position, end))
            return address;
    }
    return 0;
}

std::string DottedQuadText(std::uint32_t address) {
    std::string text;
    text.reserve(15);
    for (int shift = 24; shift >= 0; shift -= 8) {
        text += std::to_string((address >> shift) & 0xFF);
        if (shift != 0)
            text += '.';
    }
    return text;
}

} // namespace tovra
