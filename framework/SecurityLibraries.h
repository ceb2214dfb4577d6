#pragma once
// Windows' TLS (SSPI) and its certificate and data-protection functions, loaded from the system
// directory the first time they are asked for rather than at start: only FTP over TLS and the
// DNS names' secrets need them, and they bring megabytes of further libraries with them. Each
// library is loaded once per process, by whichever thread asks first, and never unloaded, so a
// pointer handed out stays valid until the process ends.

#define SECURITY_WIN32
#include <windows.h>
#include <security.h>
#include <wincrypt.h>

namespace tovra {

class SecurityLibraries {
public:
    struct Crypt32 {
        decltype(&::CertGetCertificateChain) getCertificateChain;
        decltype(&::CertVerifyCertificateChainPolicy) verifyCertificateChainPolicy;
        decltype(&::CertFreeCertificateChain) freeCertificateChain;
        decltype(&::CertFreeCertificateContext) freeCertificateContext;
        decltype(&::CryptProtectData) protectData;
        decltype(&::CryptUnprotectData) unprotectData;
    };

    // secur32.dll's function table; null when the library cannot be loaded.
    static const SecurityFunctionTableA* Sspi();
    // crypt32.dll's functions; null when the library or any of them cannot be loaded.
    static const Crypt32* Crypto();
};

} // namespace tovra
