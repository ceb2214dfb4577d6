#pragma once
// The machine's own IPv4 interface addresses, as the system's address table lists them, and the
// interface that the system would send to the internet through.

#include "detection/LocalAddressChoice.h"

#include <winsock2.h>
#include <iphlpapi.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace tovra {

// GetIpAddrTable's shape, so that tests can hand in tables of any size.
using IpAddrTableReader = DWORD(WINAPI*)(PMIB_IPADDRTABLE table, PULONG size, BOOL sorted);

// In ascending order of address; empty when the table cannot be read. The table is read in a
// buffer of the size the system asks for, however many addresses the machine has.
std::vector<InterfaceAddress> ReadInterfaceAddresses(IpAddrTableReader readTable = ::GetIpAddrTable);

// The index of the interface that carries the route to the internet (the default route, unless
// something more specific covers public addresses); nothing when there is no such route.
std::optional<std::uint32_t> DefaultRouteInterface();

} // namespace tovra
