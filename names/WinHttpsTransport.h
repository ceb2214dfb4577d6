#pragma once
// The update services' requests over WinINet and TLS, through the system's configured proxy. A
// certificate that Windows does not trust, or an answer that did not come over TLS, is never
// read: the services are handed a password or token, and their answer decides what is recorded.
//
// Threads: Send blocks the calling thread until the answer, the deadline or the stop event; the
// request itself runs as an InternetExchange keyed by the server, so a service that hangs costs
// one helper and never holds up the program's exit.

#include "names/HttpTransport.h"

#include <windows.h>

namespace tovra {

class WinHttpsTransport : public HttpTransport {
public:
    // An update is one small request; a service that takes longer is in trouble.
    static constexpr DWORD kDeadlineMs = 20000;

    // stopEvent: manual-reset, not owned; ends a waiting Send at once.
    explicit WinHttpsTransport(HANDLE stopEvent, DWORD deadlineMs = kDeadlineMs);

    HttpReply Send(const HttpRequest& request) override;

private:
    HANDLE stopEvent_;
    DWORD deadlineMs_;
};

} // namespace tovra
