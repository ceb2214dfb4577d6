// Whatever an echo site sends, the scan must stay inside the bytes read and end. ASan reports any
// read outside the copy below, which is exactly as long as the input.

#include "detection/AddressScan.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::unique_ptr<char[]> page(new char[size == 0 ? 1 : size]);
    if (size != 0)
        std::memcpy(page.get(), data, size);

    const std::uint32_t address = tovra::FindFirstAddress(std::string_view(page.get(), size));
    if (address != 0) {
        // The text the checker reports must itself scan back to the same address.
        if (tovra::FindFirstAddress(tovra::DottedQuadText(address)) != address)
            std::abort();
    }

    // The candidate test alone, from every digit: it must move forward and stay in bounds.
    const char* const end = page.get() + size;
    for (const char* p = page.get(); p != end;) {
        if (*p < '0' || *p > '9') {
            ++p;
            continue;
        }
        const char* before = p;
        tovra::ScanDottedQuad(p, end);
        if (p <= before || p > end)
            std::abort();
    }
    return 0;
}
