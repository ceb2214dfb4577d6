#pragma once
// The page of a posting as bytes, for the uploaders that send it from memory (FTP over TLS,
// WebDAV): the template filled with the posting's addresses, by way of the page file, which is
// deleted again. Logs "Generating Template file..." and, when the page cannot be made, why.

#include "publish/Publisher.h"
#include "upload/PageGenerator.h"

#include <optional>
#include <string>

namespace tovra {

std::optional<std::string> MakePageBytes(LogSink& log, const PageGenerator& generator,
                                         const Settings& settings, const Posting& posting);

} // namespace tovra
