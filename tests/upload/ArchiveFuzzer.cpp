// A loading archive reads bytes that come from outside: no input may crash it, make it read out
// of bounds or allocate more than the input could hold.

#include "upload/Archive.h"
#include "upload/FtpSite.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tovra::Archive archive = tovra::Archive::ForLoading(data, size);
    tovra::CFtpSite site;
    try {
        site.Serialize(archive);
    } catch (const tovra::ArchiveError&) {
        return 0;
    }
    // What loaded must store back to the very bytes it came from.
    tovra::Archive storing = tovra::Archive::ForStoring();
    site.Serialize(storing);
    const std::size_t used = size - archive.Remaining();
    if (storing.Bytes().size() > used)
        std::abort();
    return 0;
}
