#pragma once
// One TCP connection that the FTP over TLS client talks through: plain at first, secured with
// Windows' own TLS (Schannel) on request. Every wait in it ends at the deadline of the step under
// way or at once when the stop event is set, so a server that stops answering, at any point of a
// handshake or a transfer, holds the posting for no more than the step's bound, and Exit for
// none of it. Failures are thrown as NetworkFailure, whose text is a sentence for the log.
//
// Threads: one thread uses an object from construction to destruction.

#include "upload/TlsCredentials.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#define SECURITY_WIN32
#include <security.h>

#include <chrono>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tovra {

class NetworkFailure : public std::runtime_error {
public:
    enum class Kind {
        Stopped,     // the stop event was set
        TimedOut,    // the step's deadline passed
        Closed,      // the peer closed or reset the connection
        Network,     // a connection could not be made
        Handshake,   // TLS could not be agreed on
        Certificate, // the server's certificate failed the check
    };
    NetworkFailure(Kind kind, const std::string& text) : std::runtime_error(text), kind_(kind) {}
    Kind kind() const noexcept { return kind_; }

private:
    Kind kind_;
};

class SecureSocket {
public:
    using Clock = std::chrono::steady_clock;

    // stop: a manual-reset event that ends every wait (may be null). Throws NetworkFailure when
    // Winsock cannot be started.
    explicit SecureSocket(HANDLE stop);
    ~SecureSocket();
    SecureSocket(const SecureSocket&) = delete;
    SecureSocket& operator=(const SecureSocket&) = delete;

    void SetDeadline(Clock::time_point deadline) noexcept { deadline_ = deadline; }

    void Connect(const sockaddr* address, int length);
    // Listens on `address` with a port of the system's choosing, for one connection that Accept
    // then takes in place of the listener: the first from `peer`'s address. Others are closed, so
    // that nobody but the server can slip another connection in before it.
    void Listen(const sockaddr* address, int length);
    void Accept(const sockaddr_storage& peer);

    sockaddr_storage LocalAddress() const;
    sockaddr_storage PeerAddress() const;

    // The TLS handshake as a client, then the server's certificate checked for `targetName` as
    // Windows checks a web site's: a chain to a root the user trusts, and the name. Throws
    // NetworkFailure (Handshake or Certificate) with the reason.
    void Secure(TlsCredentials& credentials, const std::string& targetName);
    bool Secured() const noexcept { return secured_; }
    // "TLS 1.2"; empty before Secure.
    std::string ProtocolName();

    void Send(std::string_view bytes);
    // Up to `size` bytes; 0 once the peer has closed its side.
    std::size_t Receive(char* buffer, std::size_t size);
    // Ends the TLS session with its closing alert and closes the sending side, so that the server
    // can tell a whole transfer from a cut one.
    void Finish();

private:
    void Open(int family);
    // Waits until the socket reports any of `events` or throws at the deadline or the stop.
    void Wait(long events);
    void SendRaw(const char* data, std::size_t size);
    // Appends what has arrived to incoming_; false once the peer has closed.
    bool ReceiveRaw();
    // The handshake loop, from the first token or, with `renegotiating`, from what is in incoming_.
    void Handshake(bool renegotiating);
    void CheckCertificate(const std::string& targetName);

    HANDLE stop_;
    SOCKET socket_ = INVALID_SOCKET;
    WSAEVENT event_ = WSA_INVALID_EVENT;
    Clock::time_point deadline_ = Clock::now();

    TlsCredentials* credentials_ = nullptr;
    std::string targetName_;
    CtxtHandle context_{};
    bool haveContext_ = false;
    bool secured_ = false;
    SecPkgContext_StreamSizes sizes_{};
    std::vector<char> incoming_; // received, not yet decrypted
    std::string plain_;          // decrypted, not yet handed out
    std::size_t plainRead_ = 0;
};

} // namespace tovra
