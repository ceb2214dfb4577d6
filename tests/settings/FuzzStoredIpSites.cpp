// Whatever another program left under the value's name, decoding must stay inside the bytes and
// end, and whatever it accepts must be stored and read back unchanged.

#include "detection/SiteUrl.h"
#include "settings/StoredIpSites.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy, so that ASan sees any read past the value's end.
    const std::unique_ptr<char[]> bytes(new char[size == 0 ? 1 : size]);
    if (size != 0)
        std::memcpy(bytes.get(), data, size);

    const auto sites = tovra::DecodeIpSites(std::string_view(bytes.get(), size));
    if (!sites)
        return 0;
    if (sites->size() > tovra::kMaxIpSites)
        std::abort();
    const std::string stored = tovra::EncodeIpSites(*sites);
    if (stored.size() > tovra::kMaxStoredIpSitesBytes || tovra::DecodeIpSites(stored) != sites)
        std::abort();
    return 0;
}
