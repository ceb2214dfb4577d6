#pragma once
// The failure of a WinINet operation: its error code and one line of text to show the user.
//
// The text is, in this order of preference: for ERROR_INTERNET_EXTENDED_ERROR the server's
// last reply; wininet.dll's message for the code (the system's for the socket errors WinINet
// sometimes passes on); the server's last reply when it reports a failure (a 4xx or 5xx reply).
// Wine's wininet.dll has no message for several codes (12003, 12013 to 12015, 12031, 12110,
// 12111), so there the server's reply often is the only text. When there is none, Text() is
// empty and HasText() false: callers tell "no text" from a text that way, never by what().
// Line breaks inside a multi-line text become single blanks; none is left at the end.
// ServerReply() keeps the server's last reply as it was, failure or not, for callers that would
// rather show the server's last words than nothing.

#include <windows.h>

#include <stdexcept>
#include <string>

namespace tovra {

class InternetError : public std::runtime_error {
public:
    InternetError(DWORD code, std::string text, std::string serverReply = {});

    // The calling thread's last error and the server's last reply on that thread. WinINet keeps
    // both per thread, so this must run on the thread whose call failed, before any other call.
    static InternetError FromLastError();

    DWORD Code() const noexcept { return code_; }
    const std::string& Text() const noexcept { return text_; }
    bool HasText() const noexcept { return !text_.empty(); }
    // The server's last reply on the failing thread, as one line; empty when there was none.
    const std::string& ServerReply() const noexcept { return serverReply_; }

    // WinINet's codes for a server certificate that was refused (untrusted, expired, for another
    // name, revoked or not checkable for revocation).
    static bool IsCertificateCode(DWORD code) noexcept;

    // The text WinINet (or the system) has for `code`, as one line; empty when there is none.
    static std::string MessageText(DWORD code);
    // The calling thread's last server reply, as one line; empty when there is none.
    static std::string LastResponseText();

private:
    DWORD code_;
    std::string text_;
    std::string serverReply_;
};

} // namespace tovra
