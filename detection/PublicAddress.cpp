#include "detection/PublicAddress.h"

#include "detection/AddressScan.h"

namespace tovra {
namespace {

struct Block {
    std::uint32_t first;
    int prefixLength;
    std::string_view kind;
};

constexpr Block kUnreachable[] = {
    {0x00000000, 8, "an address that names no host"},
    {0x0A000000, 8, "a private network address"},
    {0x64400000, 10, "a shared address of the provider's network (carrier-grade NAT)"},
    {0x7F000000, 8, "a loopback address"},
    {0xA9FE0000, 16, "a link-local address"},
    {0xAC100000, 12, "a private network address"},
    {0xC0000000, 24, "an address reserved for protocols"},
    {0xC0A80000, 16, "a private network address"},
    {0xC6120000, 15, "an address reserved for benchmarks"},
    {0xE0000000, 4, "a multicast address"},
    {0xF0000000, 4, "a reserved address"},
};

bool Within(std::uint32_t address, const Block& block) {
    const std::uint32_t mask = ~std::uint32_t{0} << (32 - block.prefixLength);
    return (address & mask) == block.first;
}

} // namespace

std::string_view UnreachableKind(std::uint32_t address) {
    for (const Block& block : kUnreachable) {
        if (Within(address, block))
            return block.kind;
    }
    return {};
}

bool IsPublicAddress(std::uint32_t address) {
    return UnreachableKind(address).empty();
}

bool IsPublicAddress(std::string_view dottedQuad) {
    // Only the canonical form counts: "084.1.2.3" or " 84.1.2.3" is not what the checker hands on.
    const std::uint32_t address = FindFirstAddress(dottedQuad);
    return address != 0 && DottedQuadText(address) == dottedQuad && IsPublicAddress(address);
}

} // namespace tovra
