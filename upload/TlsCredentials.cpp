#include "upload/TlsCredentials.h"

#include "framework/SecurityLibraries.h"

// The newer credentials structure, the only one that offers TLS 1.3, is declared only with this.
#define SCHANNEL_USE_BLACKLISTS
#include <subauth.h>
#include <schannel.h>

#include <stdexcept>
#include <string>

namespace tovra {

namespace {

// The protocol versions are the system's own choice (nothing is enabled or disabled here), so a
// PC whose administrator turned an old version off keeps it off for us too.
constexpr DWORD kFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;

SECURITY_STATUS Acquire(void* authData, CredHandle* handle) {
    TimeStamp expiry{};
    return SecurityLibraries::Sspi()->AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A),
                                                                SECPKG_CRED_OUTBOUND, nullptr, authData,
                                                                nullptr, nullptr, handle, &expiry);
}

} // namespace

TlsCredentials::TlsCredentials() {
    // Checked here once for every socket secured with these credentials.
    if (!SecurityLibraries::Sspi() || !SecurityLibraries::Crypto())
        throw std::runtime_error(
            "Windows' TLS is not available: secur32.dll or crypt32.dll could not be loaded.");
    // TLS 1.3 is offered only through the newer structure (Windows 10 2004 and later); older
    // systems refuse it, and the older structure gives them everything they have.
    SCH_CREDENTIALS modern{};
    modern.dwVersion = SCH_CREDENTIALS_VERSION;
    modern.dwFlags = kFlags;
    if (Acquire(&modern, &handle_) == SEC_E_OK)
        return;
    SCHANNEL_CRED legacy{};
    legacy.dwVersion = SCHANNEL_CRED_VERSION;
    legacy.dwFlags = kFlags;
    const SECURITY_STATUS status = Acquire(&legacy, &handle_);
    if (status != SEC_E_OK)
        throw std::runtime_error("Windows' TLS (Schannel) is not available (error " +
                                 std::to_string(static_cast<unsigned long>(status)) + ").");
}

TlsCredentials::~TlsCredentials() {
    SecurityLibraries::Sspi()->FreeCredentialHandle(&handle_);
}

} // namespace tovra
