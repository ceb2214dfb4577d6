#include "upload/StatusText.h"

namespace tovra {
namespace {

// The numbers are WinINet's INTERNET_STATUS_* codes; this file stays free of Windows headers.
const char* FixedText(unsigned long status) {
    switch (status) {
    case 20:
        return "Connecting to server...";
    case 21:
        return "Connected to server!";
    case 30:
        return "Sending request...";
    case 31:
        return "Request sent";
    case 40:
        return "Receiving response...";
    case 41:
        return "Response received!";
    case 50:
        return "Closing connection...";
    case 51:
        return "Connection close!";
    case 60:
        return "Connection created!";
    case 70:
        return "Closing Connection...";
    case 100:
        return "request complete";
    case 110:
        return "Redirected to URL";
    case 200:
        return "Busy";
    default:
        return nullptr;
    }
}

} // namespace

std::string FormatStatusText(unsigned long threadId, unsigned long status, std::string_view info) {
    std::string text = "[" + std::to_string(threadId) + "] ";
    if (status == 10 || status == 11) {
        text += status == 10 ? "resolving name for " : "resolved name for ";
        text += info;
        if (status == 11)
            text += '!';
    } else if (const char* fixed = FixedText(status)) {
        text += fixed;
    } else {
        text += "Unknown status: " + std::to_string(status);
    }
    return text;
}

} // namespace tovra
