#include "app/Uninstall.h"

#include "tests/settings/ScratchUserHive.h"

#include <gtest/gtest.h>

namespace tovra {
namespace {

class UninstallTest : public ::testing::Test {
protected:
    UninstallTest() {
        store.SetCompany(kCompanyName);
        store.SetProduct(kProductName);
    }
    void WriteRun(const char* name) { hive.WriteRaw(kRunKeyPath, name, REG_SZ, "tovra.exe", 10); }
    bool HasRunValue(const char* name) {
        std::string bytes;
        DWORD type = 0;
        return hive.ReadRaw(kRunKeyPath, name, bytes, type);
    }

    testing::ScratchUserHive hive;
    CRegistryStore store;
};

TEST_F(UninstallTest, RemovesSettingsAndAutostartButKeepsTheCompanyKey) {
    WriteRun("Tovra");
    WriteRun("Other");
    ASSERT_TRUE(store.WriteString("SiteAddress", "ftp.example.org"));
    // A key with subkeys, as the DNS names make it, goes whole.
    hive.WriteRaw("SOFTWARE\\Brannik\\Tovra\\DnsNames\\0", "HostName", REG_SZ, "a.example", 10);
    hive.WriteRaw("SOFTWARE\\Brannik\\Another", "x", REG_SZ, "1", 2);

    EXPECT_TRUE(Uninstall(store));

    EXPECT_FALSE(hive.HasKey("SOFTWARE\\Brannik\\Tovra"));
    EXPECT_TRUE(hive.HasKey("SOFTWARE\\Brannik"));
    EXPECT_TRUE(hive.HasKey("SOFTWARE\\Brannik\\Another"));
    EXPECT_FALSE(HasRunValue("Tovra"));
    EXPECT_TRUE(HasRunValue("Other"));
}

TEST_F(UninstallTest, MissingAutostartValueStillRemovesSettings) {
    WriteRun("Other");
    ASSERT_TRUE(store.WriteString("SitePort", "21"));
    EXPECT_TRUE(Uninstall(store));
    EXPECT_FALSE(hive.HasKey("SOFTWARE\\Brannik\\Tovra"));
}

TEST_F(UninstallTest, WithoutARunKeyNothingIsRemoved) {
    ASSERT_TRUE(store.WriteString("SitePort", "21"));
    EXPECT_FALSE(Uninstall(store));
    EXPECT_TRUE(hive.HasKey("SOFTWARE\\Brannik\\Tovra"));
}

TEST_F(UninstallTest, WithoutACompanyKeyOnlyTheAutostartValueGoes) {
    WriteRun("Tovra");
    EXPECT_FALSE(Uninstall(store));
    EXPECT_FALSE(HasRunValue("Tovra"));
    EXPECT_FALSE(hive.HasKey("SOFTWARE\\Brannik"));
}

} // namespace
} // namespace tovra
