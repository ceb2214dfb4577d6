#include "detection/InterfaceAddresses.h"

#include <cstddef>
#include <memory>

namespace tovra {

std::vector<InterfaceAddress> ReadInterfaceAddresses(IpAddrTableReader readTable) {
    // The table may grow between asking for its size and reading it (an adapter coming up), so
    // ask again a few times with the newly reported size before giving up.
    std::unique_ptr<std::byte[]> buffer;
    ULONG capacity = 0;
    for (int attempt = 0; attempt < 4; ++attempt) {
        auto* table = reinterpret_cast<MIB_IPADDRTABLE*>(buffer.get());
        ULONG size = capacity;
        const DWORD result = readTable(table, &size, TRUE);
        if (result == ERROR_INSUFFICIENT_BUFFER && size > capacity) {
            buffer = std::make_unique<std::byte[]>(size);
            capacity = size;
            continue;
        }
        if (result != NO_ERROR || table == nullptr)
            return {};

        // Trust the row count only as far as the buffer reaches.
        const std::size_t header = offsetof(MIB_IPADDRTABLE, table);
        const std::size_t room = capacity > header ? (capacity - header) / sizeof(MIB_IPADDRROW) : 0;
        const std::size_t rows = table->dwNumEntries < room ? table->dwNumEntries : room;
        std::vector<InterfaceAddress> addresses;
        addresses.reserve(rows);
        for (std::size_t i = 0; i < rows; ++i)
            addresses.push_back({ntohl(table->table[i].dwAddr), table->table[i].dwIndex});
        return addresses;
    }
    return {};
}

std::optional<std::uint32_t> DefaultRouteInterface() {
    // Only the route table is consulted; nothing is sent. Any address outside the private ranges
    // will do, since what is asked is the way out to the internet.
    const IPAddr publicAddress = htonl(0x01010101); // 1.1.1.1
    DWORD index = 0;
    if (::GetBestInterface(publicAddress, &index) != NO_ERROR)
        return std::nullopt;
    return index;
}

} // namespace tovra
