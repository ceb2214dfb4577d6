// The template is any file the user points at: expansion must be safe for every byte sequence.
// Input: the address text up to the first newline (at most 64 bytes), the template after it.

#include "upload/TemplateExpander.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = input.find('\n');
    const std::string address =
        newline == std::string::npos ? std::string() : input.substr(0, newline).substr(0, 64);
    const std::string rest = newline == std::string::npos ? input : input.substr(newline + 1);

    std::string page;
    for (std::size_t at = 0; at < rest.size(); at += 4096)
        tovra::AppendChunkText(page, rest.data() + at, std::min<std::size_t>(4096, rest.size() - at));
    if (page.size() > rest.size())
        std::abort();

    tovra::LocalDateTime now;
    now.hour = 21;
    const std::string before = page;
    tovra::ExpandTemplate(page, address, address, now);
    // Without a '<' there is nothing to replace.
    if (before.find('<') == std::string::npos && page != before)
        std::abort();
    return 0;
}
