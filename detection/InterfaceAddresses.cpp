#include "detection/InterfaceAddresses.h"

#include <winsock2.h>
#include <iphlpapi.h>

#include <cstddef>
#include <memory>

namespace tovra {

std::vector<std::uint32_t> ReadInterfaceAddresses() {
    // The table may grow between asking for its size and reading it (an adapter coming up), so
    // ask again a few times with the newly reported size before giving up.
    ULONG size = 0;
    std::unique_ptr<std::byte[]> buffer;
    for (int attempt = 0; attempt < 4; ++attempt) {
        auto* table = reinterpret_cast<MIB_IPADDRTABLE*>(buffer.get());
        const DWORD result = ::GetIpAddrTable(table, &size, TRUE);
        if (result == ERROR_INSUFFICIENT_BUFFER) {
            buffer = std::make_unique<std::byte[]>(size);
            continue;
        }
        if (result != NO_ERROR || table == nullptr)
            return {};

        // Trust the row count only as far as the buffer reaches.
        const std::size_t header = offsetof(MIB_IPADDRTABLE, table);
        const std::size_t room = size > header ? (size - header) / sizeof(MIB_IPADDRROW) : 0;
        const std::size_t rows = table->dwNumEntries < room ? table->dwNumEntries : room;
        std::vector<std::uint32_t> addresses;
        addresses.reserve(rows);
        for (std::size_t i = 0; i < rows; ++i)
            addresses.push_back(ntohl(table->table[i].dwAddr));
        return addresses;
    }
    return {};
}

} // namespace tovra
