#include "framework/SecurityLibraries.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace tovra {
namespace {

// The first callers race to load: every thread must get the same, complete set, since the TLS
// code calls through these pointers without checking them again.
TEST(SecurityLibrariesTest, ThreadsAskingFirstAllGetTheSameCompleteFunctions) {
    std::vector<const SecurityFunctionTableA*> tables(4);
    std::vector<const SecurityLibraries::Crypt32*> cryptos(4);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < tables.size(); ++i)
        threads.emplace_back([&, i] {
            tables[i] = SecurityLibraries::Sspi();
            cryptos[i] = SecurityLibraries::Crypto();
        });
    for (std::thread& thread : threads)
        thread.join();
    for (std::size_t i = 0; i < tables.size(); ++i) {
        EXPECT_EQ(tables[i], tables[0]);
        EXPECT_EQ(cryptos[i], cryptos[0]);
    }
    const SecurityFunctionTableA* sspi = tables[0];
    ASSERT_NE(sspi, nullptr);
    ASSERT_NE(cryptos[0], nullptr);
    for (const void* function : {reinterpret_cast<const void*>(sspi->AcquireCredentialsHandleA),
                                 reinterpret_cast<const void*>(sspi->FreeCredentialHandle),
                                 reinterpret_cast<const void*>(sspi->InitializeSecurityContextA),
                                 reinterpret_cast<const void*>(sspi->DeleteSecurityContext),
                                 reinterpret_cast<const void*>(sspi->ApplyControlToken),
                                 reinterpret_cast<const void*>(sspi->QueryContextAttributesA),
                                 reinterpret_cast<const void*>(sspi->FreeContextBuffer),
                                 reinterpret_cast<const void*>(sspi->EncryptMessage),
                                 reinterpret_cast<const void*>(sspi->DecryptMessage)})
        EXPECT_NE(function, nullptr);
}

} // namespace
} // namespace tovra
