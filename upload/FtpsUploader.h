#pragma once
// Publishes the page over FTP with explicit TLS: connect, AUTH TLS, the TLS handshake with the
// server's certificate checked as Windows checks a web site's, PBSZ 0, PROT P, sign-in, TYPE A,
// then the page stored under a temporary name beside it and renamed over it, so that a transfer
// cut at any byte leaves the previous page whole. Nothing falls back to clear text: when the
// server refuses AUTH TLS, or its certificate or the handshake fails, the posting ends there with
// a line that says which, before the user name or the password has been sent.
//
// Data connections are secured with the control connection's credentials and server name, so
// that Schannel resumes its session, as vsftpd and FileZilla Server require. In passive mode the
// data connection goes to the control connection's own peer whatever address the server's reply
// names: a hostile server cannot point the page at another host.
//
// Every step (connecting, each command, the handshakes, the transfer) has the plain upload's
// bound, plus a second for every 10 KB of the page; the stop event ends any step at once.
// Threads: one posting at a time, on the caller's thread; the object may be reused.

#include "upload/LogSink.h"

#include <windows.h>

#include <set>
#include <string>

namespace tovra {

struct FtpsJob {
    std::string server; // a host name or address; the certificate must be made out for it
    unsigned short port = 21;
    std::string userName;
    std::string password;
    std::string remotePath; // folder and file name, "/htdocs/ip.html"
    bool passive = true;
    std::string page; // the page's bytes, sent unchanged
};

class FtpsUploader {
public:
    struct Outcome {
        bool uploaded = false;
        // Why not, as the last line logged; empty when the stop event ended the posting.
        std::string reason;
    };

    // stop: manual-reset; may be null. log receives the posting's lines from the calling thread.
    FtpsUploader(LogSink& log, HANDLE stop);

    Outcome Upload(const FtpsJob& job);

    // The bound of each step, 30 seconds unless a test needs less.
    void SetStepTimeout(DWORD milliseconds) { stepTimeoutMs_ = milliseconds; }

private:
    LogSink& log_;
    HANDLE stop_;
    DWORD stepTimeoutMs_;
    // Servers ("host:port") that refused to rename at all; the page is written in place there,
    // which is said once, the first time.
    std::set<std::string> writtenInPlace_;
};

} // namespace tovra
