#pragma once
// The stored site as every page publisher sends to it, whatever the protocol: checked before any
// connection, with the remote path completed by the template's file name, and the same lines
// logged in the same order by each (the refused setting, or the file name added).

#include "publish/Publisher.h"

#include <optional>
#include <string>

namespace tovra {

struct PageSite {
    std::string address;
    unsigned short port = 0;
    std::string userName;
    std::string password;
    bool passive = false;
    std::string remotePath;
    std::string templateFile;
};

// Nothing when the site address or the port is refused; failure then holds the posting's outcome.
std::optional<PageSite> ReadPageSite(const Settings& settings, LogSink& log, Outcome& failure);

} // namespace tovra
