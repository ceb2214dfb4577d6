#include "detection/Ipv6Interfaces.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <cstddef>
#include <cstring>
#include <memory>

namespace tovra {

std::vector<Ipv6Candidate> ReadIpv6Candidates() {
    constexpr ULONG kFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER |
                             GAA_FLAG_SKIP_FRIENDLY_NAME;
    // The list may grow between asking for its size and reading it (an adapter coming up), so ask
    // again a few times with the newly reported size before giving up. 15 KB is the size the
    // system's documentation suggests starting with, and it holds an ordinary machine's list.
    ULONG capacity = 15 * 1024;
    std::unique_ptr<std::byte[]> buffer;
    for (int attempt = 0; attempt < 4; ++attempt) {
        buffer = std::make_unique<std::byte[]>(capacity);
        auto* adapters = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get());
        ULONG size = capacity;
        const ULONG result = ::GetAdaptersAddresses(AF_INET6, kFlags, nullptr, adapters, &size);
        if (result == ERROR_BUFFER_OVERFLOW && size > capacity) {
            capacity = size;
            continue;
        }
        if (result != NO_ERROR)
            return {};

        std::vector<Ipv6Candidate> candidates;
        for (const IP_ADAPTER_ADDRESSES* adapter = adapters; adapter; adapter = adapter->Next) {
            if (adapter->OperStatus != IfOperStatusUp)
                continue;
            for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress; unicast;
                 unicast = unicast->Next) {
                const SOCKADDR* address = unicast->Address.lpSockaddr;
                if (address == nullptr || address->sa_family != AF_INET6 ||
                    unicast->Address.iSockaddrLength < static_cast<INT>(sizeof(sockaddr_in6)))
                    continue;
                Ipv6Candidate candidate;
                std::memcpy(candidate.bytes.data(),
                            &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr,
                            candidate.bytes.size());
                candidate.preferred = unicast->DadState == IpDadStatePreferred;
                candidate.temporary = unicast->SuffixOrigin == IpSuffixOriginRandom;
                candidate.tunnel = adapter->IfType == IF_TYPE_TUNNEL;
                candidates.push_back(candidate);
            }
        }
        return candidates;
    }
    return {};
}

std::string FindIpv6Address() {
    return ChooseIpv6Address(ReadIpv6Candidates());
}

} // namespace tovra
