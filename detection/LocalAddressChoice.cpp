#include "detection/LocalAddressChoice.h"

#include <algorithm>

namespace tovra {

std::uint32_t ChooseLocalAddress(std::span<const std::uint32_t> addresses) {
    constexpr std::uint32_t kLoopback = 0x7F000001; // 127.0.0.1
    const auto usable = std::find_if(addresses.begin(), addresses.end(), [](std::uint32_t address) {
        return address != 0 && address != kLoopback;
    });
    return usable == addresses.end() ? 0 : *usable;
}

} // namespace tovra
