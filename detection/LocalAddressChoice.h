#pragma once
// Which of the machine's own interface addresses a local check reports. Platform-free, so that the
// rule is tested on made-up tables; the system's table is read in InterfaceAddresses.

#include <cstdint>
#include <optional>
#include <span>

namespace tovra {

// One row of the interface table. Host-order address.
struct InterfaceAddress {
    std::uint32_t address = 0;
    std::uint32_t interfaceIndex = 0;
};

// The address that reaches the network: the first, in the order given (the system lists them in
// ascending order), of the interface that carries the default route. When no interface has a route,
// or that one has no usable address, the first usable address of any interface: on a PC with
// virtual adapters (WSL, Hyper-V, VirtualBox) that may be theirs, but it is the best left.
// Never 0, a loopback address (127.0.0.0/8) or a link-local one (169.254.0.0/16): those cannot be
// reached from elsewhere. 0 means none qualified.
std::uint32_t ChooseLocalAddress(std::span<const InterfaceAddress> addresses,
                                 std::optional<std::uint32_t> routeInterface = std::nullopt);

} // namespace tovra
