#include "detection/LocalAddressChoice.h"

#include <algorithm>

namespace tovra {
namespace {

bool Usable(std::uint32_t address) {
    const bool loopback = (address >> 24) == 127;
    const bool linkLocal = (address >> 16) == 0xA9FE; // 169.254
    return address != 0 && !loopback && !linkLocal;
}

} // namespace

std::uint32_t ChooseLocalAddress(std::span<const InterfaceAddress> addresses,
                                 std::optional<std::uint32_t> routeInterface) {
    if (routeInterface) {
        const auto routed =
            std::find_if(addresses.begin(), addresses.end(), [&](const InterfaceAddress& row) {
                return row.interfaceIndex == *routeInterface && Usable(row.address);
            });
        if (routed != addresses.end())
            return routed->address;
    }
    const auto usable = std::find_if(addresses.begin(), addresses.end(),
                                     [](const InterfaceAddress& row) { return Usable(row.address); });
    return usable == addresses.end() ? 0 : usable->address;
}

} // namespace tovra
