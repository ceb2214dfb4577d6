#pragma once
// The machine's own IPv6 addresses, as the system's adapter list reports them.

#include "detection/Ipv6AddressChoice.h"

#include <string>
#include <vector>

namespace tovra {

// The unicast IPv6 addresses of the adapters that are up, in the system's order; empty when the
// list cannot be read.
std::vector<Ipv6Candidate> ReadIpv6Candidates();

// The address a check publishes (ChooseIpv6Address), or empty.
std::string FindIpv6Address();

} // namespace tovra
