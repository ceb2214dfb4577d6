#pragma once
// Finding the first IPv4 address written in a page that an IP echo site returned.
// Platform-free: the page is untrusted bytes from the network, so this code is fuzzed on the host.
//
// An address is held as a host-order number (10.1.2.3 is 0x0A010203); 0 stands for "no address",
// which is also why 0.0.0.0 never counts as one.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tovra {

// Only the start of a page is looked at: an address must begin within these bytes.
inline constexpr std::size_t kScannedPageBytes = 6138;

// An address that begins near the end of the scanned bytes is read to its end, and one byte past
// it to see that it really ends there; this many bytes beyond kScannedPageBytes are enough for
// that (15 characters of a dotted quad and the character after it).
inline constexpr std::size_t kAddressOverhang = 16;

// How many bytes of a page the lookup should read.
inline constexpr std::size_t kPageReadBytes = kScannedPageBytes + kAddressOverhang;
static_assert(kAddressOverhang >= 15 + 1, "room for the longest address and the character after it");

// The candidate test. `position` stands on a digit; it is always moved forward, to where the
// search for the next candidate goes on. Returns the address written at the old position, or 0
// when the text there is not a dotted-decimal address: four groups of one to three digits, a group
// that begins with 0 read as octal (as inet_addr reads it), none above 255, the fourth not
// followed by another dot. Never reads at or beyond `end`.
std::uint32_t ScanDottedQuad(const char*& position, const char* end);

// The first address that begins in the first kScannedPageBytes of `page`, whose text ends at its
// first zero byte. Bytes of `page` beyond kScannedPageBytes serve only to finish an address that
// began before them, so that an address is never reported cut short. Returns 0 when there is none.
std::uint32_t FindFirstAddress(std::string_view page);

// The dotted-decimal text of an address as inet_ntoa writes it ("84.12.3.7").
std::string DottedQuadText(std::uint32_t address);

} // namespace tovra
