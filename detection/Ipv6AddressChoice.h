#pragma once
// Which of the machine's own IPv6 addresses the page publishes. Platform-free, so that the rule is
// tested on made-up lists; the system's list is read in InterfaceAddresses.
//
// A home connection behind carrier-grade NAT shares its public IPv4 address, but usually gives the
// PC a global IPv6 address that reaches it directly: that address, in its stable form, is the one
// worth publishing.

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace tovra {

struct Ipv6Candidate {
    std::array<std::uint8_t, 16> bytes{}; // network order
    // Duplicate address detection finished and the address is neither deprecated nor tentative.
    bool preferred = false;
    // A privacy address with a random suffix: retired within a day, so a page naming it goes stale.
    bool temporary = false;
    // On a tunnel adapter (Teredo, 6to4, ISATAP, a VPN's): the address belongs to the relay's
    // scheme, not to the PC's own connection.
    bool tunnel = false;
};

// True for global unicast addresses (2000::/3, which holds the documentation prefix
// 2001:db8::/32 too).
bool IsGlobalUnicast(const std::array<std::uint8_t, 16>& bytes) noexcept;

// True for Teredo (2001:0::/32) and 6to4 (2002::/16) addresses: global in form, but reached
// through a relay that Windows 7 and 8.1 switch on by default and that comes and goes, so a page
// naming one would change, and be uploaded, for nothing.
bool IsRelayAddress(const std::array<std::uint8_t, 16>& bytes) noexcept;

// The first preferred global unicast address that is not temporary, else the first preferred
// global temporary one, in the order given; its text as ChooseIpv6Address's callers publish it.
// Empty when no address qualifies: link-local, unique-local, loopback, deprecated and relay
// addresses, and any address on a tunnel adapter, never do.
std::string ChooseIpv6Address(std::span<const Ipv6Candidate> candidates);

// The canonical text of an address (RFC 5952): lower-case hexadecimal groups without leading
// zeros, the longest run of two or more zero groups (the first of equal runs) written "::".
// "2001:db8::7", "fe80::1:2", "::1".
std::string Ipv6Text(const std::array<std::uint8_t, 16>& bytes);

} // namespace tovra
