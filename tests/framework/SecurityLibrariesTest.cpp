#include "framework/SecurityLibraries.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace tovra {
namespace {

// The first callers race to load; each must get the one loaded set, never a half-made one.
TEST(SecurityLibrariesTest, ThreadsAskingFirstAllGetTheSameFunctions) {
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
    EXPECT_NE(tables[0], nullptr);
    EXPECT_NE(cryptos[0], nullptr);
}

} // namespace
} // namespace tovra
