#pragma once
// Keeps a plain FTP upload's data connection on the server it logged in to. WinINet connects a
// passive data connection to whatever address the server's PASV reply names, so a hostile or
// spoofed server could have the page sent to any host the PC can reach. The guard is told every
// address WinINet reports connecting to and every reply the server sends, and names the first
// address that is not the control connection's peer; the uploader asks it before it sends a byte.
//
// Threads: fed from WinINet's status notifications, which arrive on the thread of the call (and,
// for a handle closed by its owner, on that thread), and asked by the uploading thread: one lock.

#include <mutex>
#include <string>
#include <string_view>

namespace tovra {

class DataAddressGuard {
public:
    // The dotted IPv4 address a connection is made to; the first one is the server's own.
    void Connecting(std::string_view address);
    // One reply of the server; a "227" reply names the data connection's address.
    void Replied(std::string_view reply);

    // The first address other than the server's that a data connection was sent to; empty when
    // there was none.
    std::string OtherAddress() const;

private:
    void Compare(const std::string& address);

    mutable std::mutex mutex_;
    std::string server_;
    std::string other_;
};

// The address of a "227" reply, "h1,h2,h3,h4,p1,p2" after the first digit that follows the code
// (the form is not standardised: "(...)", "=..." and bare are all met), as "h1.h2.h3.h4"; empty
// for any other reply or a malformed one.
std::string PassiveReplyAddress(std::string_view reply);

} // namespace tovra
