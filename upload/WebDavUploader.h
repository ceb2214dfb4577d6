#pragma once
// Publishes the page to a WebDAV folder over HTTPS: one PUT of the page to
// https://server:port/remotePath, signed in with the user name and password (WinINet answers the
// server's Basic or Digest challenge). A server that says a folder is missing (409) gets each
// folder of the path made with MKCOL, once, and the page put again. The server writes a PUT whole,
// so a cut transfer leaves the previous page.
//
// Only https: the password goes with every request, so a site address given as http:// is
// refused before anything is sent, and a certificate that Windows does not trust ends the posting
// with a line. Direct, never through the system's proxy, as every upload.
//
// Threads: one posting at a time, on the caller's thread, which waits for an InternetExchange: each
// step has its bound (30 seconds, plus one for every 10 KB of the page) and the stop event ends
// any step at once.

#include "upload/LogSink.h"

#include <windows.h>

#include <string>

namespace tovra {

struct WebDavJob {
    std::string server; // host name or address; "https://" before it is allowed
    unsigned short port = 443;
    std::string userName;
    std::string password;
    std::string remotePath; // folder and file name, "/htdocs/ip.html"
    std::string page;       // the page's bytes, sent unchanged
};

class WebDavUploader {
public:
    struct Outcome {
        bool uploaded = false;
        // Why not, as the last line logged; empty when the stop event ended the posting.
        std::string reason;
    };

    // stop: manual-reset; may be null. log receives the posting's lines and its status lines.
    WebDavUploader(LogSink& log, HANDLE stop);

    Outcome Upload(const WebDavJob& job);

    void SetStepTimeout(DWORD milliseconds) { stepTimeoutMs_ = milliseconds; }

private:
    LogSink& log_;
    HANDLE stop_;
    DWORD stepTimeoutMs_;
};

} // namespace tovra
