#include "upload/DataAddressGuard.h"

#include <cctype>

namespace tovra {
namespace {

// One decimal number of at most three digits below 256, advancing past it.
bool ReadByte(std::string_view text, std::size_t& at, int& value) {
    std::size_t digits = 0;
    value = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) && digits < 3) {
        value = value * 10 + (text[at] - '0');
        ++at;
        ++digits;
    }
    return digits > 0 && value < 256;
}

bool IsDottedIpv4(const std::string& address) {
    std::size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        int value = 0;
        if (!ReadByte(address, at, value))
            return false;
        if (part < 3 && (at >= address.size() || address[at++] != '.'))
            return false;
    }
    return at == address.size();
}

} // namespace

std::string PassiveReplyAddress(std::string_view reply) {
    if (reply.substr(0, 3) != "227" || reply.size() < 4)
        return std::string();
    std::size_t at = 4;
    while (at < reply.size() && !std::isdigit(static_cast<unsigned char>(reply[at])))
        ++at;
    std::string address;
    for (int part = 0; part < 6; ++part) {
        int value = 0;
        if (!ReadByte(reply, at, value))
            return std::string();
        if (part < 4)
            address += (part > 0 ? "." : "") + std::to_string(value);
        if (part < 5 && (at >= reply.size() || reply[at++] != ','))
            return std::string();
    }
    return address;
}

void DataAddressGuard::Connecting(std::string_view address) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (server_.empty())
        server_ = address;
    else
        Compare(std::string(address));
}

void DataAddressGuard::Replied(std::string_view reply) {
    const std::string address = PassiveReplyAddress(reply);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!address.empty())
        Compare(address);
}

void DataAddressGuard::Compare(const std::string& address) {
    // Only an IPv4 server can be compared with the IPv4 address of a PASV reply; a reply that
    // names the server's own address again is the ordinary case.
    if (other_.empty() && IsDottedIpv4(server_) && address != server_)
        other_ = address;
}

std::string DataAddressGuard::OtherAddress() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return other_;
}

} // namespace tovra
