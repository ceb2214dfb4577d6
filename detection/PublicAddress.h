#pragma once
// Whether an IPv4 address is one that visitors from the internet could reach. Platform-free and
// tested on the host: an echo site's answer is believed only when it names such an address, since
// a page naming 192.168.1.20 (a proxy's error page, a misconfigured site) would publish a PC that
// nobody elsewhere can find.

#include <cstdint>
#include <string_view>

namespace tovra {

// The ranges no visitor can reach (RFC 6890's special-purpose blocks that route nowhere public):
// "this network" 0/8, private 10/8, 172.16/12 and 192.168/16, shared (carrier-grade NAT)
// 100.64/10, loopback 127/8, link-local 169.254/16, protocol assignments 192.0.0/24, benchmarking
// 198.18/15, multicast 224/4 and reserved 240/4. Host order, as AddressScan holds addresses.
bool IsPublicAddress(std::uint32_t address);

// The same for dotted-decimal text as the checker hands it on; false for text that is no address.
bool IsPublicAddress(std::string_view dottedQuad);

// What kind of unreachable address it is, in the user's words ("a private network address"), for
// the line that says why it was passed over; empty for a public address.
std::string_view UnreachableKind(std::uint32_t address);

} // namespace tovra
