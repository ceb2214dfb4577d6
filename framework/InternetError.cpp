#include "framework/InternetError.h"

#include <wininet.h>

#include <vector>

namespace tovra {

namespace {

// WinINet's and servers' texts end in CR LF and may span several lines; the log wants one line.
std::string OneLine(const char* text, std::size_t length) {
    std::string line;
    bool pendingBlank = false;
    for (std::size_t i = 0; i < length && text[i] != '\0'; ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            pendingBlank = !line.empty();
            continue;
        }
        if (pendingBlank && c != ' ')
            line.push_back(' ');
        pendingBlank = false;
        line.push_back(c);
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

bool IsFailureReply(const std::string& reply) {
    return !reply.empty() && (reply[0] == '4' || reply[0] == '5');
}

std::string Summary(DWORD code, const std::string& text) {
    return text.empty() ? "WinINet error " + std::to_string(code) : text;
}

} // namespace

InternetError::InternetError(DWORD code, std::string text, std::string serverReply)
    : std::runtime_error(Summary(code, text)), code_(code), text_(std::move(text)),
      serverReply_(std::move(serverReply)) {}

std::string InternetError::MessageText(DWORD code) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                                            FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        GetModuleHandleA("wininet.dll"), code, 0,
                                        reinterpret_cast<char*>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr)
        return {};
    std::string text = OneLine(buffer, length);
    LocalFree(buffer);
    return text;
}

std::string InternetError::LastResponseText() {
    std::vector<char> buffer(512);
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD error = 0;
        DWORD length = static_cast<DWORD>(buffer.size());
        if (InternetGetLastResponseInfoA(&error, buffer.data(), &length))
            return OneLine(buffer.data(), length < buffer.size() ? length : buffer.size());
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return {};
        buffer.resize(length + 1);
    }
    return {};
}

InternetError InternetError::FromLastError() {
    DWORD code = GetLastError();
    // A failed call that left no error code must not read "The operation completed successfully".
    if (code == ERROR_SUCCESS)
        code = ERROR_INTERNET_INTERNAL_ERROR;
    const std::string reply = LastResponseText();
    if (code == ERROR_INTERNET_EXTENDED_ERROR && !reply.empty())
        return InternetError(code, reply, reply);
    std::string text = MessageText(code);
    // A stale progress reply ("150 Opening data connection") would explain nothing.
    if (text.empty() && IsFailureReply(reply))
        text = reply;
    return InternetError(code, std::move(text), reply);
}

bool InternetError::IsCertificateCode(DWORD code) noexcept {
    switch (code) {
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
    case ERROR_INTERNET_SEC_INVALID_CERT:
        return true;
    default:
        return false;
    }
}

} // namespace tovra
