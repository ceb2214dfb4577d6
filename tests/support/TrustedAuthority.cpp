#include "tests/support/TrustedAuthority.h"

#include "framework/Win32Handles.h"

#include <windows.h>
#include <wincrypt.h>

#include <stdexcept>

namespace tovra::test {

namespace {

void CloseStore(HCERTSTORE store) {
    CertCloseStore(store, 0);
}
void FreeCertificate(PCCERT_CONTEXT certificate) {
    CertFreeCertificateContext(certificate);
}
using UniqueStore = UniqueHandle<NullIsEmpty<HCERTSTORE, CloseStore>>;
using UniqueCertificate = UniqueHandle<NullIsEmpty<PCCERT_CONTEXT, FreeCertificate>>;

// The registry store itself rather than the system store: under Wine 8 a deletion made through
// the system store (a collection over it) is never written back, while additions and deletions
// through this one reach the registry when the handle is closed, so that is done at once.
UniqueStore OpenUsersRoots() {
    return UniqueStore(
        CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_A, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, "ROOT"));
}

const BYTE* Bytes(const std::string& der) {
    return reinterpret_cast<const BYTE*>(der.data());
}

} // namespace

TrustedAuthority::TrustedAuthority(const std::string& der) : der_(der) {
    const UniqueStore roots = OpenUsersRoots();
    if (!roots || !CertAddEncodedCertificateToStore(roots.get(), X509_ASN_ENCODING, Bytes(der_),
                                                    static_cast<DWORD>(der_.size()),
                                                    CERT_STORE_ADD_REPLACE_EXISTING, nullptr))
        throw std::runtime_error("the user's root store refused the test authority");
}

TrustedAuthority::~TrustedAuthority() {
    const UniqueStore roots = OpenUsersRoots();
    const UniqueCertificate wanted(
        CertCreateCertificateContext(X509_ASN_ENCODING, Bytes(der_), static_cast<DWORD>(der_.size())));
    if (!roots || !wanted)
        return;
    // Deleting frees the found context, whether it succeeds or not.
    if (PCCERT_CONTEXT found = CertFindCertificateInStore(roots.get(), X509_ASN_ENCODING, 0,
                                                          CERT_FIND_EXISTING, wanted.get(), nullptr))
        CertDeleteCertificateFromStore(found);
}

} // namespace tovra::test
