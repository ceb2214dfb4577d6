// Whatever a service sends, reading it must end, stay in bounds and never throw. ASan reports any
// read outside the copy below, which is exactly as long as the input.

#include "names/ServiceReplies.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    const tovra::Dyndns2Answer answer = tovra::ParseDyndns2Reply(body);
    if (answer.code.size() > body.size() || answer.address.size() > body.size())
        std::abort();
    tovra::VerdictOf(answer.code);
    tovra::ParseDuckDnsReply(body);
    const tovra::CloudflareReply reply = tovra::ParseCloudflareReply(body);
    if (!reply.parsed && (reply.success || !reply.ids.empty()))
        std::abort();
    tovra::RetryAfterSeconds(body);
    return 0;
}
