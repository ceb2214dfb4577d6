#include "upload/SecureSocket.h"

#include "framework/SecurityLibraries.h"

#include <schannel.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace tovra {

namespace {

constexpr DWORD kContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                  ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR |
                                  ISC_REQ_MANUAL_CRED_VALIDATION;
// A TLS record is at most about 17 KB; a peer that sends this much without a whole one is no
// TLS peer, and must not make us hold its bytes for ever.
constexpr std::size_t kIncomingLimit = 1 << 20;

std::string Hex(long value) {
    char text[16];
    wsprintfA(text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

// Only a socket secured with TlsCredentials calls these, and those credentials have loaded both.
const SecurityFunctionTableA& Sspi() {
    return *SecurityLibraries::Sspi();
}
const SecurityLibraries::Crypt32& Crypto() {
    return *SecurityLibraries::Crypto();
}

struct ContextBufferFree {
    void operator()(void* buffer) const noexcept { Sspi().FreeContextBuffer(buffer); }
};
using ContextBuffer = std::unique_ptr<void, ContextBufferFree>;

struct ChainFree {
    void operator()(PCCERT_CHAIN_CONTEXT chain) const noexcept { Crypto().freeCertificateChain(chain); }
};
struct CertificateFree {
    void operator()(PCCERT_CONTEXT certificate) const noexcept {
        Crypto().freeCertificateContext(certificate);
    }
};

std::wstring Widen(const std::string& text) {
    const int length =
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

bool SameHost(const sockaddr_storage& a, const sockaddr_storage& b) {
    if (a.ss_family != b.ss_family)
        return false;
    if (a.ss_family == AF_INET6)
        return std::memcmp(&reinterpret_cast<const sockaddr_in6&>(a).sin6_addr,
                           &reinterpret_cast<const sockaddr_in6&>(b).sin6_addr, sizeof(in6_addr)) == 0;
    return reinterpret_cast<const sockaddr_in&>(a).sin_addr.s_addr ==
           reinterpret_cast<const sockaddr_in&>(b).sin_addr.s_addr;
}

} // namespace

SecureSocket::SecureSocket(HANDLE stop) : stop_(stop) {
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
        throw NetworkFailure(NetworkFailure::Kind::Network, "Windows' network functions are not available.");
}

SecureSocket::~SecureSocket() {
    if (haveContext_)
        Sspi().DeleteSecurityContext(&context_);
    if (socket_ != INVALID_SOCKET)
        ::closesocket(socket_);
    if (event_ != WSA_INVALID_EVENT)
        ::WSACloseEvent(event_);
    ::WSACleanup();
}

void SecureSocket::Open(int family) {
    if (socket_ != INVALID_SOCKET)
        ::closesocket(socket_); // a connection attempt to another of the server's addresses failed
    socket_ = ::socket(family, SOCK_STREAM, IPPROTO_TCP);
    if (event_ == WSA_INVALID_EVENT)
        event_ = ::WSACreateEvent();
    // The event makes the socket non-blocking: every wait then goes through Wait, with the stop.
    if (socket_ == INVALID_SOCKET || event_ == WSA_INVALID_EVENT ||
        ::WSAEventSelect(socket_, event_, FD_READ | FD_WRITE | FD_CONNECT | FD_ACCEPT | FD_CLOSE) != 0)
        throw NetworkFailure(NetworkFailure::Kind::Network,
                             "Cannot make a network connection (Winsock error " +
                                 std::to_string(::WSAGetLastError()) + ").");
}

void SecureSocket::Wait(long events) {
    const HANDLE handles[2] = {event_, stop_};
    for (;;) {
        const long long left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
        if (left <= 0)
            throw NetworkFailure(NetworkFailure::Kind::TimedOut, "The server did not answer in time.");
        const DWORD woke = ::WaitForMultipleObjects(stop_ ? 2 : 1, handles, FALSE, static_cast<DWORD>(left));
        if (woke == WAIT_TIMEOUT)
            continue; // the deadline check above throws
        if (woke == WAIT_OBJECT_0 + 1)
            throw NetworkFailure(NetworkFailure::Kind::Stopped, "Stopped.");
        if (woke != WAIT_OBJECT_0)
            throw NetworkFailure(NetworkFailure::Kind::Closed, "Cannot wait for the network (system error " +
                                                                   std::to_string(::GetLastError()) + ").");
        WSANETWORKEVENTS happened{};
        if (::WSAEnumNetworkEvents(socket_, event_, &happened) != 0)
            throw NetworkFailure(NetworkFailure::Kind::Closed, "The connection failed.");
        if (happened.lNetworkEvents & FD_CONNECT & events) {
            const int error = happened.iErrorCode[FD_CONNECT_BIT];
            if (error != 0)
                throw NetworkFailure(NetworkFailure::Kind::Network,
                                     error == WSAECONNREFUSED
                                         ? "The server refused the connection."
                                         : "Cannot connect to the server (Winsock error " +
                                               std::to_string(error) + ").");
        }
        if (happened.lNetworkEvents & events)
            return;
    }
}

void SecureSocket::Connect(const sockaddr* address, int length) {
    Open(address->sa_family);
    if (::connect(socket_, address, length) != 0 && ::WSAGetLastError() != WSAEWOULDBLOCK)
        throw NetworkFailure(NetworkFailure::Kind::Network, "Cannot connect to the server (Winsock error " +
                                                                std::to_string(::WSAGetLastError()) + ").");
    Wait(FD_CONNECT);
}

void SecureSocket::Listen(const sockaddr* address, int length) {
    Open(address->sa_family);
    sockaddr_storage local{};
    std::memcpy(&local, address, static_cast<std::size_t>(std::min<int>(length, sizeof local)));
    // Port 0: the system picks a free one, which the client then names to the server.
    if (local.ss_family == AF_INET6)
        reinterpret_cast<sockaddr_in6&>(local).sin6_port = 0;
    else
        reinterpret_cast<sockaddr_in&>(local).sin_port = 0;
    if (::bind(socket_, reinterpret_cast<const sockaddr*>(&local), length) != 0 || ::listen(socket_, 1) != 0)
        throw NetworkFailure(NetworkFailure::Kind::Network,
                             "Cannot wait for the server's data connection (Winsock error " +
                                 std::to_string(::WSAGetLastError()) + ").");
}

void SecureSocket::Accept(const sockaddr_storage& peer) {
    for (;;) {
        sockaddr_storage from{};
        int fromLength = sizeof from;
        const SOCKET accepted = ::accept(socket_, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (accepted != INVALID_SOCKET && !SameHost(from, peer)) {
            ::closesocket(accepted);
            continue;
        }
        if (accepted != INVALID_SOCKET) {
            ::closesocket(socket_);
            socket_ = accepted;
            // An accepted socket inherits the listener's event selection, but the listener's
            // pending records must not wake the first wait on the new one.
            ::WSAEventSelect(socket_, event_, FD_READ | FD_WRITE | FD_CLOSE);
            ::WSAResetEvent(event_);
            return;
        }
        if (::WSAGetLastError() != WSAEWOULDBLOCK)
            throw NetworkFailure(NetworkFailure::Kind::Network,
                                 "The server's data connection failed (Winsock error " +
                                     std::to_string(::WSAGetLastError()) + ").");
        Wait(FD_ACCEPT);
    }
}

sockaddr_storage SecureSocket::LocalAddress() const {
    sockaddr_storage address{};
    int length = sizeof address;
    ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
    return address;
}

sockaddr_storage SecureSocket::PeerAddress() const {
    sockaddr_storage address{};
    int length = sizeof address;
    ::getpeername(socket_, reinterpret_cast<sockaddr*>(&address), &length);
    return address;
}

void SecureSocket::SendRaw(const char* data, std::size_t size) {
    while (size > 0) {
        const int sent = ::send(socket_, data, static_cast<int>(std::min<std::size_t>(size, 1 << 16)), 0);
        if (sent > 0) {
            data += sent;
            size -= static_cast<std::size_t>(sent);
        } else if (::WSAGetLastError() == WSAEWOULDBLOCK) {
            Wait(FD_WRITE | FD_CLOSE);
        } else {
            throw NetworkFailure(NetworkFailure::Kind::Closed, "The server closed the connection.");
        }
    }
}

bool SecureSocket::ReceiveRaw() {
    if (incoming_.size() > kIncomingLimit)
        throw NetworkFailure(NetworkFailure::Kind::Closed, "The server sent data that is not TLS.");
    char chunk[16384];
    for (;;) {
        const int received = ::recv(socket_, chunk, sizeof chunk, 0);
        if (received > 0) {
            incoming_.insert(incoming_.end(), chunk, chunk + received);
            return true;
        }
        if (received == 0)
            return false;
        const int error = ::WSAGetLastError();
        if (error == WSAECONNRESET || error == WSAECONNABORTED)
            return false;
        if (error != WSAEWOULDBLOCK)
            throw NetworkFailure(NetworkFailure::Kind::Closed,
                                 "The connection failed (Winsock error " + std::to_string(error) + ").");
        Wait(FD_READ | FD_CLOSE);
    }
}

void SecureSocket::Secure(TlsCredentials& credentials, const std::string& targetName) {
    credentials_ = &credentials;
    targetName_ = targetName;
    Handshake(false);
    if (Sspi().QueryContextAttributesA(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK)
        throw NetworkFailure(NetworkFailure::Kind::Handshake, "the TLS session has no record sizes");
    CheckCertificate(targetName);
    secured_ = true;
}

void SecureSocket::Handshake(bool renegotiating) {
    auto* target = const_cast<char*>(targetName_.c_str());
    unsigned long attributes = 0;
    bool needData = false;
    if (!renegotiating) {
        SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
        SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
        const SECURITY_STATUS status =
            Sspi().InitializeSecurityContextA(credentials_->Handle(), nullptr, target, kContextRequest, 0, 0,
                                              nullptr, 0, &context_, &outDesc, &attributes, nullptr);
        const ContextBuffer token(out.pvBuffer);
        if (status != SEC_I_CONTINUE_NEEDED)
            throw NetworkFailure(NetworkFailure::Kind::Handshake, "Schannel error " + Hex(status));
        haveContext_ = true;
        SendRaw(static_cast<const char*>(out.pvBuffer), out.cbBuffer);
        needData = true;
    } else {
        needData = incoming_.empty();
    }
    for (;;) {
        if (needData && !ReceiveRaw())
            throw NetworkFailure(NetworkFailure::Kind::Handshake, "the server closed the connection");
        SecBuffer in[2] = {{static_cast<unsigned long>(incoming_.size()), SECBUFFER_TOKEN, incoming_.data()},
                           {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
        SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
        SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
        const SECURITY_STATUS status =
            Sspi().InitializeSecurityContextA(credentials_->Handle(), &context_, target, kContextRequest, 0,
                                              0, &inDesc, 0, nullptr, &outDesc, &attributes, nullptr);
        const ContextBuffer token(out.pvBuffer);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            needData = true;
            continue;
        }
        // Sent even when the status is a failure: then it is the alert that tells the server why.
        if (out.pvBuffer && out.cbBuffer > 0) {
            try {
                SendRaw(static_cast<const char*>(out.pvBuffer), out.cbBuffer);
            } catch (const NetworkFailure&) {
                if (!FAILED(status))
                    throw;
            }
        }
        if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer > 0 && in[1].cbBuffer <= incoming_.size())
            incoming_.erase(incoming_.begin(), incoming_.end() - in[1].cbBuffer);
        else
            incoming_.clear();
        if (status == SEC_E_OK)
            return;
        if (status != SEC_I_CONTINUE_NEEDED)
            throw NetworkFailure(NetworkFailure::Kind::Handshake,
                                 status == SEC_I_INCOMPLETE_CREDENTIALS
                                     ? std::string("the server asks for a client certificate")
                                     : "Schannel error " + Hex(status));
        needData = incoming_.empty();
    }
}

void SecureSocket::CheckCertificate(const std::string& targetName) {
    PCCERT_CONTEXT raw = nullptr;
    if (Sspi().QueryContextAttributesA(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &raw) != SEC_E_OK || !raw)
        throw NetworkFailure(NetworkFailure::Kind::Certificate, "The server showed no certificate");
    const std::unique_ptr<const CERT_CONTEXT, CertificateFree> certificate(raw);

    LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH),
                      const_cast<LPSTR>(szOID_SERVER_GATED_CRYPTO), const_cast<LPSTR>(szOID_SGC_NETSCAPE)};
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 3;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT rawChain = nullptr;
    // The server's own intermediates travel in the certificate's store.
    if (!Crypto().getCertificateChain(nullptr, certificate.get(), nullptr, certificate->hCertStore,
                                      &chainPara, 0, nullptr, &rawChain))
        throw NetworkFailure(NetworkFailure::Kind::Certificate, "The certificate of " + targetName +
                                                                    " could not be checked (error " +
                                                                    std::to_string(::GetLastError()) + ")");
    const std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree> chain(rawChain);

    std::wstring name = Widen(targetName);
    HTTPSPolicyCallbackData https{};
    https.cbStruct = sizeof https;
    https.dwAuthType = AUTHTYPE_SERVER;
    https.pwszServerName = name.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &https;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!Crypto().verifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &status))
        status.dwError = static_cast<DWORD>(::GetLastError());
    auto error = static_cast<long>(status.dwError);
    // Wine's policy check lets a chain that ends at an unknown authority pass; the chain's own
    // status says so on every system, so a certificate nobody vouches for is refused there too.
    const DWORD trust = chain->TrustStatus.dwErrorStatus;
    if (error == 0 && (trust & (CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_UNTRUSTED_ROOT |
                                CERT_TRUST_IS_NOT_SIGNATURE_VALID | CERT_TRUST_IS_CYCLIC)) != 0)
        error = CERT_E_UNTRUSTEDROOT;
    else if (error == 0 && (trust & CERT_TRUST_IS_NOT_TIME_VALID) != 0)
        error = CERT_E_EXPIRED;
    if (error == 0)
        return;
    std::string why;
    if (error == CERT_E_UNTRUSTEDROOT || error == CERT_E_CHAINING || error == TRUST_E_CERT_SIGNATURE)
        why = "is not trusted";
    else if (error == CERT_E_CN_NO_MATCH)
        why = "is made out for another name";
    else if (error == CERT_E_EXPIRED)
        why = "has expired or is not valid yet";
    else if (error == CRYPT_E_REVOKED)
        why = "has been revoked";
    else if (error == CERT_E_WRONG_USAGE)
        why = "is not meant for servers";
    else
        why = "failed the check (error " + Hex(error) + ")";
    throw NetworkFailure(NetworkFailure::Kind::Certificate, "The certificate of " + targetName + " " + why);
}

std::string SecureSocket::ProtocolName() {
    SecPkgContext_ConnectionInfo info{};
    if (!secured_ ||
        Sspi().QueryContextAttributesA(&context_, SECPKG_ATTR_CONNECTION_INFO, &info) != SEC_E_OK)
        return std::string();
    const DWORD protocol = info.dwProtocol;
    if (protocol & SP_PROT_TLS1_3_CLIENT)
        return "TLS 1.3";
    if (protocol & SP_PROT_TLS1_2_CLIENT)
        return "TLS 1.2";
    if (protocol & SP_PROT_TLS1_1_CLIENT)
        return "TLS 1.1";
    if (protocol & SP_PROT_TLS1_0_CLIENT)
        return "TLS 1.0";
    return "SSL";
}

void SecureSocket::Send(std::string_view bytes) {
    if (!secured_)
        return SendRaw(bytes.data(), bytes.size());
    std::vector<char> record(sizes_.cbHeader + sizes_.cbMaximumMessage + sizes_.cbTrailer);
    while (!bytes.empty()) {
        const std::size_t length = std::min<std::size_t>(bytes.size(), sizes_.cbMaximumMessage);
        std::memcpy(record.data() + sizes_.cbHeader, bytes.data(), length);
        SecBuffer buffers[4] = {
            {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
            {static_cast<unsigned long>(length), SECBUFFER_DATA, record.data() + sizes_.cbHeader},
            {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes_.cbHeader + length},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = Sspi().EncryptMessage(&context_, 0, &desc, 0);
        if (status != SEC_E_OK)
            throw NetworkFailure(NetworkFailure::Kind::Closed,
                                 "Schannel could not encrypt (" + Hex(status) + ").");
        SendRaw(record.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
        bytes.remove_prefix(length);
    }
}

std::size_t SecureSocket::Receive(char* buffer, std::size_t size) {
    while (plainRead_ == plain_.size()) {
        plain_.clear();
        plainRead_ = 0;
        if (!secured_) {
            if (incoming_.empty() && !ReceiveRaw())
                return 0;
            plain_.assign(incoming_.begin(), incoming_.end());
            incoming_.clear();
            continue;
        }
        if (incoming_.empty()) {
            if (!ReceiveRaw())
                return 0;
            continue;
        }
        SecBuffer buffers[4] = {
            {static_cast<unsigned long>(incoming_.size()), SECBUFFER_DATA, incoming_.data()},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = Sspi().DecryptMessage(&context_, &desc, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            if (!ReceiveRaw())
                return 0; // cut off inside a record: to the reader, the connection just ended
            continue;
        }
        if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED)
            throw NetworkFailure(NetworkFailure::Kind::Closed,
                                 "Schannel could not decrypt (" + Hex(status) + ").");
        // Decrypted in place: take the text out before the buffer moves.
        std::size_t extra = 0;
        for (const SecBuffer& b : buffers) {
            if (b.BufferType == SECBUFFER_DATA && b.pvBuffer)
                plain_.append(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
            else if (b.BufferType == SECBUFFER_EXTRA)
                extra = std::min<std::size_t>(b.cbBuffer, incoming_.size());
        }
        incoming_.erase(incoming_.begin(), incoming_.end() - static_cast<std::ptrdiff_t>(extra));
        if (status == SEC_I_CONTEXT_EXPIRED) {
            if (plain_.empty())
                return 0; // the server's closing alert
            continue;
        }
        // TLS 1.3 servers send session tickets after the handshake; Schannel wants them back.
        if (status == SEC_I_RENEGOTIATE)
            Handshake(true);
    }
    const std::size_t length = std::min(size, plain_.size() - plainRead_);
    std::memcpy(buffer, plain_.data() + plainRead_, length);
    plainRead_ += length;
    return length;
}

void SecureSocket::Finish() {
    if (secured_) {
        DWORD type = SCHANNEL_SHUTDOWN;
        SecBuffer control{sizeof type, SECBUFFER_TOKEN, &type};
        SecBufferDesc controlDesc{SECBUFFER_VERSION, 1, &control};
        if (Sspi().ApplyControlToken(&context_, &controlDesc) == SEC_E_OK) {
            SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
            SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
            unsigned long attributes = 0;
            const SECURITY_STATUS status = Sspi().InitializeSecurityContextA(
                credentials_->Handle(), &context_, const_cast<char*>(targetName_.c_str()), kContextRequest, 0,
                0, nullptr, 0, nullptr, &outDesc, &attributes, nullptr);
            const ContextBuffer token(out.pvBuffer);
            if (!FAILED(status) && out.pvBuffer && out.cbBuffer > 0)
                SendRaw(static_cast<const char*>(out.pvBuffer), out.cbBuffer);
        }
    }
    ::shutdown(socket_, SD_SEND);
}

} // namespace tovra
