#include "framework/SecurityLibraries.h"

#include "framework/SystemLibrary.h"

namespace tovra {

const SecurityFunctionTableA* SecurityLibraries::Sspi() {
    static const SecurityFunctionTableA* const table = []() -> const SecurityFunctionTableA* {
        const HMODULE module = LoadSystemLibrary("secur32.dll").release();
        const auto initialise = SystemFunction<INIT_SECURITY_INTERFACE_A>(module, SECURITY_ENTRYPOINT_ANSIA);
        return initialise ? initialise() : nullptr;
    }();
    return table;
}

const SecurityLibraries::Crypt32* SecurityLibraries::Crypto() {
    static const Crypt32 functions = [] {
        const HMODULE module = LoadSystemLibrary("crypt32.dll").release();
        return Crypt32{
            SystemFunction<decltype(Crypt32::getCertificateChain)>(module, "CertGetCertificateChain"),
            SystemFunction<decltype(Crypt32::verifyCertificateChainPolicy)>(
                module, "CertVerifyCertificateChainPolicy"),
            SystemFunction<decltype(Crypt32::freeCertificateChain)>(module, "CertFreeCertificateChain"),
            SystemFunction<decltype(Crypt32::freeCertificateContext)>(module, "CertFreeCertificateContext"),
            SystemFunction<decltype(Crypt32::protectData)>(module, "CryptProtectData"),
            SystemFunction<decltype(Crypt32::unprotectData)>(module, "CryptUnprotectData"),
        };
    }();
    const bool complete = functions.getCertificateChain && functions.verifyCertificateChainPolicy &&
                          functions.freeCertificateChain && functions.freeCertificateContext &&
                          functions.protectData && functions.unprotectData;
    return complete ? &functions : nullptr;
}

} // namespace tovra
