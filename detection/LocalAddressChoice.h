#pragma once
// Which of the machine's own interface addresses a local check reports. Platform-free, so that the
// rule is tested on made-up tables; the system's table is read in InterfaceAddresses.

#include <cstdint>
#include <span>

namespace tovra {

// The first address, in the order given (the system lists them in ascending order), that is
// neither 0 nor exactly 127.0.0.1; every other address, other loopback addresses and private
// ranges included, is taken as it comes. Addresses are host-order numbers; 0 means none qualified.
std::uint32_t ChooseLocalAddress(std::span<const std::uint32_t> addresses);

} // namespace tovra
