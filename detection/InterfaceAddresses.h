#pragma once
// The machine's own IPv4 interface addresses, as the system's address table lists them.

#include <winsock2.h>
#include <iphlpapi.h>

#include <cstdint>
#include <vector>

namespace tovra {

// GetIpAddrTable's shape, so that tests can hand in tables of any size.
using IpAddrTableReader = DWORD(WINAPI*)(PMIB_IPADDRTABLE table, PULONG size, BOOL sorted);

// Host-order numbers, in ascending order; empty when the table cannot be read. The table is read
// in a buffer of the size the system asks for, however many addresses the machine has.
std::vector<std::uint32_t> ReadInterfaceAddresses(IpAddrTableReader readTable = ::GetIpAddrTable);

} // namespace tovra
