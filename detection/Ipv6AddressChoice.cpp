#include "detection/Ipv6AddressChoice.h"

namespace tovra {

bool IsGlobalUnicast(const std::array<std::uint8_t, 16>& bytes) noexcept {
    return (bytes[0] & 0xE0) == 0x20;
}

bool IsRelayAddress(const std::array<std::uint8_t, 16>& bytes) noexcept {
    const bool teredo = bytes[0] == 0x20 && bytes[1] == 0x01 && bytes[2] == 0 && bytes[3] == 0;
    const bool sixToFour = bytes[0] == 0x20 && bytes[1] == 0x02;
    return teredo || sixToFour;
}

std::string ChooseIpv6Address(std::span<const Ipv6Candidate> candidates) {
    const Ipv6Candidate* temporary = nullptr;
    for (const Ipv6Candidate& candidate : candidates) {
        if (!candidate.preferred || candidate.tunnel || !IsGlobalUnicast(candidate.bytes) ||
            IsRelayAddress(candidate.bytes))
            continue;
        if (!candidate.temporary)
            return Ipv6Text(candidate.bytes);
        if (temporary == nullptr)
            temporary = &candidate;
    }
    return temporary == nullptr ? std::string() : Ipv6Text(temporary->bytes);
}

std::string Ipv6Text(const std::array<std::uint8_t, 16>& bytes) {
    unsigned groups[8] = {};
    for (int i = 0; i < 8; ++i)
        groups[i] = (static_cast<unsigned>(bytes[2 * i]) << 8) | bytes[2 * i + 1];

    // The longest run of zero groups; a single zero group is written as "0", never as "::".
    int bestStart = -1;
    int bestLength = 1;
    for (int i = 0; i < 8;) {
        if (groups[i] != 0) {
            ++i;
            continue;
        }
        int end = i;
        while (end < 8 && groups[end] == 0)
            ++end;
        if (end - i > bestLength) {
            bestStart = i;
            bestLength = end - i;
        }
        i = end;
    }

    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(39);
    for (int i = 0; i < 8; ++i) {
        if (i == bestStart) {
            text += "::";
            i += bestLength - 1;
            continue;
        }
        if (!text.empty() && text.back() != ':')
            text += ':';
        bool started = false;
        for (int shift = 12; shift >= 0; shift -= 4) {
            const unsigned digit = (groups[i] >> shift) & 0xF;
            if (digit != 0 || started || shift == 0) {
                text += kHex[digit];
                started = true;
            }
        }
    }
    return text;
}

} // namespace tovra
