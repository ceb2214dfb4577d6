#pragma once
// One HTTP request on an HttpConnection and its reply: open, send, status code, body.
//
//     InternetSession session("Tovra");
//     session.SetStopEvent(stop);
//     session.SetDeadline(std::chrono::steady_clock::now() + std::chrono::seconds(10));
//     HttpConnection connection(session, "api.ipify.org");
//     HttpRequest request(connection, "/");
//     request.Send();                         // throws InternetError
//     if (request.StatusCode() / 100 == 2)
//         std::string page = request.Read(6138);
//
// Send and Read are blocking steps bounded as InternetSession describes. When the session has a
// bound, they also set the request handle's receive and send time-outs to the time the step may
// take, which is what ends a helper thread left behind under Wine.

#include "framework/HttpConnection.h"
#include "framework/SessionHandle.h"

#include <cstddef>
#include <string>

namespace tovra {

class HttpRequest {
public:
    // HttpOpenRequestA with the verb, the path as object name, no referrer, no accept types, the
    // default HTTP version and `flags`. Throws InternetError.
    HttpRequest(HttpConnection& connection, const std::string& path,
                DWORD flags = INTERNET_FLAG_EXISTING_CONNECT, const std::string& verb = "GET");

    // Sends the request without extra headers or body and receives the reply's headers.
    void Send();

    // The reply's status code; 0 when there is none (not sent yet, or a reply without a status
    // line, as Wine reports a connection the server closed without answering).
    DWORD StatusCode() const noexcept;

    // Up to maxBytes of the body: fewer only when the body is shorter. One InternetReadFile may
    // return fewer bytes than asked although more follow, so this reads until it has maxBytes or
    // WinINet reports the end. Throws InternetError when a read fails.
    std::string Read(std::size_t maxBytes);

    // A header of the reply as text (HTTP_QUERY_LOCATION and the like); empty when it has none.
    std::string Header(DWORD query) const;

    void Close() noexcept;

private:
    void BoundHandleTimeouts(HINTERNET handle);

    SessionHandle handle_;
};

} // namespace tovra
