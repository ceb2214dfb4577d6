// The stored list in a scratch registry hive of the test's own.

#include "names/DnsNameStore.h"
#include "tests/settings/ScratchUserHive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tovra {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr char kProduct[] = "SOFTWARE\\Brannik\\Tovra";
constexpr char kList[] = "SOFTWARE\\Brannik\\Tovra\\DnsNames";

DnsName Name(std::string host, std::string secret) {
    DnsName name;
    name.service = DnsService::Dyndns2;
    name.hostName = std::move(host);
    name.server = "dynupdate.no-ip.com";
    name.account = "ann";
    name.secret = std::move(secret);
    return name;
}

class DnsNameStoreTest : public ::testing::Test {
protected:
    std::string Raw(const std::string& subkey, const char* value) {
        std::string bytes;
        DWORD type = 0;
        hive_.ReadRaw((std::string(kList) + "\\" + subkey).c_str(), value, bytes, type);
        return bytes;
    }

    testing::ScratchUserHive hive_;
    DnsNameStore store_{kProduct};
};

// The secret is stored protected: neither its UTF-16 nor its code-page bytes are in the registry,
// and only this user reads it back.
TEST_F(DnsNameStoreTest, NamesRoundTripWithTheSecretProtected) {
    ASSERT_TRUE(store_.Save({Name("a.example.net", "Secret-One"), Name("b.example.net", "")}));
    const std::string stored = Raw("0", "Secret");
    ASSERT_FALSE(stored.empty());
    const std::wstring wide = L"Secret-One";
    EXPECT_EQ(stored.find(std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2)),
              std::string::npos);
    EXPECT_EQ(stored.find("Secret-One"), std::string::npos);
    EXPECT_EQ(Raw("0", "Service"), std::string("dyndns2", 8));

    const DnsNameStore::Loaded loaded = store_.Load();
    ASSERT_EQ(loaded.names.size(), 2u);
    EXPECT_TRUE(SameSettings(loaded.names[0], Name("a.example.net", "Secret-One")));
    EXPECT_TRUE(SameSettings(loaded.names[1], Name("b.example.net", "")));
    EXPECT_THAT(loaded.subkeys, ElementsAre("0", "1"));
}

// What the updates recorded stays with a name saved unchanged and goes with one whose settings
// changed; an update is never recorded into a subkey that now holds another name.
TEST_F(DnsNameStoreTest, RecordedUpdatesFollowTheSettingsTheyWereMadeWith) {
    ASSERT_TRUE(store_.Save({Name("a.example.net", "one"), Name("b.example.net", "two")}));
    DnsName a = store_.Load().names[0];
    a.lastAddress = "84.1.2.3";
    a.stopped = "badauth";
    ASSERT_TRUE(store_.Record("0", a));
    EXPECT_FALSE(store_.Record("1", a));

    ASSERT_TRUE(store_.Save({Name("b.example.net", "changed"), Name("a.example.net", "one")}));
    const std::vector<DnsName> names = store_.Load().names;
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].stopped, "");
    EXPECT_EQ(names[1].lastAddress, "84.1.2.3");
    EXPECT_EQ(names[1].stopped, "badauth");
    EXPECT_FALSE(store_.Record("0", a));

    ASSERT_TRUE(store_.Save({}));
    EXPECT_FALSE(hive_.HasKey((std::string(kList) + "\\0").c_str()));
}

// A subkey deployed by hand that cannot be a name is left out with a line; the others load.
TEST_F(DnsNameStoreTest, ADamagedSubkeyIsLeftOutWithALine) {
    auto write = [&](const char* subkey, const char* value, DWORD type, const std::string& bytes) {
        hive_.WriteRaw((std::string(kList) + "\\" + subkey).c_str(), value, type, bytes.data(),
                       static_cast<DWORD>(bytes.size()));
    };
    write("0", "Service", REG_SZ, std::string("carrier-pigeon", 15));
    write("0", "HostName", REG_SZ, std::string("x.example", 10));
    write("1", "Service", REG_SZ, std::string("duckdns", 8));
    write("1", "HostName", REG_SZ, std::string("mine", 5));
    write("2", "HostName", REG_SZ, std::string("y.example", 10));
    write("3", "Service", REG_SZ, std::string("cloudflare", 11));
    write("3", "HostName", REG_SZ, std::string("z.example", 10));
    write("3", "Secret", REG_BINARY, "not protected at all");
    write("4", "Service", REG_SZ, std::string("dyndns2", 8));
    write("4", "HostName", REG_DWORD, std::string(4, '\1'));
    write("10", "Service", REG_SZ, std::string("duckdns", 8));
    write("10", "HostName", REG_SZ, std::string("later", 6));

    const DnsNameStore::Loaded loaded = store_.Load();
    ASSERT_EQ(loaded.names.size(), 2u);
    EXPECT_EQ(loaded.names[0].hostName, "mine");
    EXPECT_EQ(loaded.names[1].hostName, "later");
    EXPECT_THAT(loaded.subkeys, ElementsAre("1", "10"));
    ASSERT_EQ(loaded.lines.size(), 4u);
    EXPECT_THAT(loaded.lines[0], HasSubstr("DnsNames\\0 was left out"));
    EXPECT_THAT(loaded.lines[2], HasSubstr("Secret cannot be read"));
}

} // namespace
} // namespace tovra
