#include "framework/FixedText.h"
#include "settings/SettingsRegistry.h"
#include "settings/StoredIpSites.h"
#include "tests/settings/ScratchUserHive.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tovra {
namespace {

using namespace std::string_literals;

constexpr char kTovraKey[] = "SOFTWARE\\Brannik\\Tovra";

class SettingsRegistryTest : public ::testing::Test {
protected:
    SettingsRegistryTest() {
        store.SetCompany(kCompanyName);
        store.SetProduct(kProductName);
    }

    void Store(const char* name, const std::string& text) const {
        hive.WriteRaw(kTovraKey, name, REG_SZ, text.data(), static_cast<DWORD>(text.size()));
    }

    // The stored text, without the terminator the platform keeps after it.
    std::string Stored(const char* name) const {
        std::string bytes;
        DWORD type = 0;
        EXPECT_TRUE(hive.ReadRaw(kTovraKey, name, bytes, type)) << name << " was not written";
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << name;
        return bytes.substr(0, bytes.find('\0'));
    }

    testing::ScratchUserHive hive;
    CRegistryStore store;
};

TEST_F(SettingsRegistryTest, FirstRunOnAnEmptyKeyGivesTheDefaults) {
    Settings settings;
    EXPECT_TRUE(LoadSettingsFromRegistry(store, settings)) << "an empty LastIP is read";
    EXPECT_STREQ(settings.SitePort, "21");
    EXPECT_STREQ(settings.LocalTemplateFile, "Tovra.html");
    EXPECT_TRUE(settings.SitePasvMode);
    EXPECT_FALSE(settings.ForcePost);
    EXPECT_FALSE(settings.GetWebAddress) << "missing means local detection, whatever the field held";
    for (const char* text :
         {settings.LastIP, settings.SiteAddress, settings.SiteUsername, settings.SitePassword,
          settings.SiteRemotePath, settings.ProxyUsername, settings.ProxyPassword, settings.PostFrequency})
        EXPECT_STREQ(text, "");
    EXPECT_FALSE(hive.HasKey(kTovraKey)) << "loading never creates the key";
}

TEST_F(SettingsRegistryTest, FlagsAreOnExactlyWhenTheirLeadingNumberIsOne) {
    struct Case {
        const char* stored; // nullptr: the value is missing
        bool passive;
        bool other;
    };
    const Case cases[] = {{"1", true, true},      {"0", false, false}, {"", true, false},
                          {nullptr, true, false}, {"2", false, false}, {"01", true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(missing)");
        for (const char* name : {"SitePasvMode", "ForcePost", "GetWebAddress"}) {
            if (c.stored)
                Store(name, c.stored);
            else
                ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kTovraKey, name);
        }
        Settings settings;
        settings.SitePasvMode = !c.passive;
        settings.ForcePost = !c.other;
        settings.GetWebAddress = !c.other;
        LoadSettingsFromRegistry(store, settings);
        EXPECT_EQ(settings.SitePasvMode, c.passive);
        EXPECT_EQ(settings.ForcePost, c.other);
        EXPECT_EQ(settings.GetWebAddress, c.other);
    }
}

TEST_F(SettingsRegistryTest, SaveWritesEveryValueInItsEncodingAndLoadBringsThemBack) {
    Settings saved;
    CopyBounded(saved.LastIP, "203.0.113.7");
    CopyBounded(saved.LastIPv6, "2001:db8:ffff:ffff:ffff:ffff:255.255.255.255");
    CopyBounded(saved.SiteAddress, "ftp.example.com");
    CopyBounded(saved.SitePort, "2121");
    CopyBounded(saved.SiteUsername, "alice");
    CopyBounded(saved.SitePassword, "p\xE4ss w\"rd%");
    CopyBounded(saved.SiteRemotePath, "/www/ip.html");
    saved.SitePasvMode = false;
    CopyBounded(saved.LocalTemplateFile, "C:\\Pages\\ip.html");
    CopyBounded(saved.ProxyUsername, "bob");
    CopyBounded(saved.ProxyPassword, "s3cret");
    saved.ForcePost = true;
    saved.GetWebAddress = true;
    ASSERT_TRUE(SaveSettingsToRegistry(store, saved));

    EXPECT_EQ(Stored("SitePassword"), "p\xE4ss w\"rd%") << "passwords are stored as typed";
    EXPECT_EQ(Stored("SitePasvMode"), "0");
    EXPECT_EQ(Stored("ForcePost"), "1");
    EXPECT_EQ(Stored("GetWebAddress"), "1");
    EXPECT_EQ(Stored("PostFrequency"), "") << "a missing PostFrequency is written as an empty text";

    Settings loaded;
    EXPECT_TRUE(LoadSettingsFromRegistry(store, loaded));
    EXPECT_STREQ(loaded.LastIP, "203.0.113.7");
    EXPECT_STREQ(loaded.LastIPv6, "2001:db8:ffff:ffff:ffff:ffff:255.255.255.255") << "the longest form fits";
    EXPECT_STREQ(loaded.SiteAddress, "ftp.example.com");
    EXPECT_STREQ(loaded.SitePort, "2121");
    EXPECT_STREQ(loaded.SiteUsername, "alice");
    EXPECT_STREQ(loaded.SitePassword, "p\xE4ss w\"rd%");
    EXPECT_STREQ(loaded.SiteRemotePath, "/www/ip.html");
    EXPECT_FALSE(loaded.SitePasvMode);
    EXPECT_STREQ(loaded.LocalTemplateFile, "C:\\Pages\\ip.html");
    EXPECT_STREQ(loaded.ProxyUsername, "bob");
    EXPECT_STREQ(loaded.ProxyPassword, "s3cret");
    EXPECT_TRUE(loaded.ForcePost);
    EXPECT_TRUE(loaded.GetWebAddress);
}

TEST_F(SettingsRegistryTest, PostFrequencyIsCarriedThroughUnchanged) {
    const std::string odd = "every 7 minutes, \"maybe\" \xB5";
    Store("PostFrequency", odd);
    Settings settings;
    LoadSettingsFromRegistry(store, settings);
    Store("PostFrequency", "changed");
    ASSERT_TRUE(SaveSettingsToRegistry(store, settings));
    EXPECT_EQ(Stored("PostFrequency"), odd);
}

TEST_F(SettingsRegistryTest, EmptyPortIsStoredEmptyAndComesBackAs21) {
    Settings settings;
    ASSERT_TRUE(SaveSettingsToRegistry(store, settings));
    EXPECT_EQ(Stored("SitePort"), "");
    EXPECT_EQ(Stored("LocalTemplateFile"), "");
    Settings loaded;
    LoadSettingsFromRegistry(store, loaded);
    EXPECT_STREQ(loaded.SitePort, "21");
    EXPECT_STREQ(loaded.LocalTemplateFile, "Tovra.html");
}

TEST_F(SettingsRegistryTest, LongTextsAreCutOnSave) {
    Settings settings;
    const std::string long300(300, 'a');
    for (char* field :
         {settings.SiteAddress, settings.SiteUsername, settings.SitePassword, settings.SiteRemotePath,
          settings.LocalTemplateFile, settings.ProxyUsername, settings.ProxyPassword})
        CopyBounded(field, Settings::kTextCapacity, long300);
    CopyBounded(settings.SitePort, std::string(20, '9'));
    ASSERT_TRUE(SaveSettingsToRegistry(store, settings));
    for (const char* name : {"SiteAddress", "SiteUsername", "SitePassword", "SiteRemotePath",
                             "LocalTemplateFile", "ProxyUsername", "ProxyPassword"})
        EXPECT_EQ(Stored(name), std::string(258, 'a')) << name;
    EXPECT_EQ(Stored("SitePort"), std::string(14, '9'));
}

TEST_F(SettingsRegistryTest, MissingOrOverlongTextsLeaveTheFieldsAsTheyWere) {
    Settings settings;
    CopyBounded(settings.SiteAddress, "earlier.example.com");
    CopyBounded(settings.SiteUsername, "earlier");
    Store("SiteAddress", std::string(260, 'x'));
    LoadSettingsFromRegistry(store, settings);
    EXPECT_STREQ(settings.SiteAddress, "earlier.example.com") << "a text that does not fit counts as missing";
    EXPECT_STREQ(settings.SiteUsername, "earlier");

    Store("SiteUsername", "new");
    LoadSettingsFromRegistry(store, settings);
    EXPECT_STREQ(settings.SiteUsername, "new") << "a shorter stored text replaces the whole field";
}

TEST_F(SettingsRegistryTest, StoredLastIPIsReadOnlyWhileTheFieldIsEmpty) {
    Store("LastIP", "198.51.100.1");
    Settings settings;
    CopyBounded(settings.LastIP, "203.0.113.7");
    EXPECT_FALSE(LoadSettingsFromRegistry(store, settings));
    EXPECT_STREQ(settings.LastIP, "203.0.113.7") << "an address detected in this run wins";

    CopyBounded(settings.LastIP, "");
    EXPECT_TRUE(LoadSettingsFromRegistry(store, settings));
    EXPECT_STREQ(settings.LastIP, "198.51.100.1");
}

// The list sits in one value of its own beside the thirteen, which keep their names and type.
TEST_F(SettingsRegistryTest, SiteListRoundTripsAndAMissingOrDamagedValueGivesTheBuiltInSites) {
    const std::vector<IpSite> builtIn{{"echo.example", "/ip"}};
    Settings settings;
    LoadSettingsFromRegistry(store, settings, builtIn);
    EXPECT_EQ(settings.IpSites, builtIn) << "missing, as for every earlier installation";

    settings.IpSites = {{"ifconfig.me", "/ip"},
                        {"api.ipify.org", "/", IpSiteScheme::Https, 0},
                        {"mine.example", "/where", IpSiteScheme::Http, 8080}};
    ASSERT_TRUE(SaveSettingsToRegistry(store, settings));
    std::string bytes;
    DWORD type = 0;
    ASSERT_TRUE(hive.ReadRaw(kTovraKey, "IpSites", bytes, type));
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(bytes, EncodeIpSites(settings.IpSites));
    EXPECT_EQ(Stored("GetWebAddress"), "0") << "the older values stay REG_SZ texts";
    Settings loaded;
    LoadSettingsFromRegistry(store, loaded, builtIn);
    EXPECT_EQ(loaded.IpSites, settings.IpSites);

    settings.IpSites.clear();
    ASSERT_TRUE(SaveSettingsToRegistry(store, settings));
    LoadSettingsFromRegistry(store, loaded, builtIn);
    EXPECT_TRUE(loaded.IpSites.empty()) << "every site removed stays removed";

    const std::string url = "ifconfig.me/ip\0\0"s;
    const std::string oversized(kMaxStoredIpSitesBytes + 2, '\0');
    const std::uint32_t number = 7;
    struct Damage {
        DWORD type;
        const void* data;
        DWORD size;
    };
    for (const Damage& damage : {Damage{REG_SZ, url.data(), static_cast<DWORD>(url.size())},
                                 Damage{REG_BINARY, url.data(), static_cast<DWORD>(url.size())},
                                 Damage{REG_MULTI_SZ, oversized.data(), static_cast<DWORD>(oversized.size())},
                                 Damage{REG_DWORD, &number, sizeof number}}) {
        hive.WriteRaw(kTovraKey, "IpSites", damage.type, damage.data, damage.size);
        loaded.IpSites.clear();
        LoadSettingsFromRegistry(store, loaded, builtIn);
        EXPECT_EQ(loaded.IpSites, builtIn) << "type " << damage.type << ", " << damage.size << " bytes";
    }
    // The system's read gives a last text without its zero one (as NT does for every string type):
    // what is stored is read, the list that a cut value still holds.
    hive.WriteRaw(kTovraKey, "IpSites", REG_MULTI_SZ, url.data(), 14);
    LoadSettingsFromRegistry(store, loaded, builtIn);
    EXPECT_EQ(loaded.IpSites, (std::vector<IpSite>{{"ifconfig.me", "/ip"}}));
}

} // namespace
} // namespace tovra
