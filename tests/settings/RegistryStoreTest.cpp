#include "framework/FixedText.h"
#include "settings/RegistryStore.h"
#include "tests/settings/ScratchUserHive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tovra {
namespace {

constexpr char kTovraKey[] = "SOFTWARE\\Brannik\\Tovra";

class RegistryStoreTest : public ::testing::Test {
protected:
    RegistryStoreTest() {
        store.SetCompany(kCompanyName);
        store.SetProduct(kProductName);
    }

    std::string Stored(const char* name) const {
        std::string bytes;
        DWORD type = 0;
        EXPECT_TRUE(hive.ReadRaw(kTovraKey, name, bytes, type)) << name;
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << name;
        return bytes;
    }

    testing::ScratchUserHive hive;
    CRegistryStore store;
};

TEST(RegistryStorePath, ComposesSoftwareThenEachNameThatIsSet) {
    EXPECT_EQ(CRegistryStore().KeyPath(), "SOFTWARE\\Brannik\\Tovra");
    CRegistryStore store("", "");
    EXPECT_EQ(store.KeyPath(), "SOFTWARE");
    store.SetProduct("Tovra");
    EXPECT_EQ(store.KeyPath(), "SOFTWARE\\Tovra");
    store.SetCompany("Brannik");
    EXPECT_EQ(store.KeyPath(), "SOFTWARE\\Brannik\\Tovra");
    store.SetProduct("");
    EXPECT_EQ(store.KeyPath(), "SOFTWARE\\Brannik");
}

TEST(RegistryStorePath, LongNamesKeepTheirFirst255CharactersAndThePathIsNeverCut) {
    CRegistryStore store;
    store.SetCompany(std::string(300, 'c'));
    store.SetProduct(std::string(255, 'p'));
    EXPECT_EQ(store.Company(), std::string(255, 'c'));
    EXPECT_EQ(store.KeyPath(), "SOFTWARE\\" + std::string(255, 'c') + "\\" + std::string(255, 'p'));
}

TEST_F(RegistryStoreTest, NamesUpToTheLongestPathWorkAndLongerOnesNeverTouchACutPath) {
    // 8 + 1 + 125 + 1 + 124 = 259 characters, the longest path the platform takes.
    store.SetCompany(std::string(125, 'c'));
    store.SetProduct(std::string(124, 'p'));
    ASSERT_TRUE(store.WriteString("Name", "value"));
    char field[16] = {};
    ASSERT_TRUE(store.ReadString("Name", field));
    EXPECT_STREQ(field, "value");

    store.SetCompany(std::string(255, 'c'));
    store.SetProduct(std::string(255, 'p'));
    EXPECT_FALSE(store.WriteString("Name", "other"));
    EXPECT_FALSE(store.ReadString("Name", field));
    EXPECT_STREQ(field, "value");
    const std::string cut = std::string(store.KeyPath().substr(0, 259));
    EXPECT_FALSE(hive.HasKey(cut.c_str()));
}

TEST_F(RegistryStoreTest, StoresTextAsTerminatedStringAndEmptyTextAsZeroBytes) {
    ASSERT_TRUE(store.WriteString("SitePort", "abc"));
    EXPECT_EQ(Stored("SitePort"), std::string("abc", 4));
    ASSERT_TRUE(store.WriteString("Empty", ""));
    EXPECT_EQ(Stored("Empty"), "");
}

TEST_F(RegistryStoreTest, ReadsTextTerminatedAndFailsWhenItDoesNotFit) {
    ASSERT_TRUE(store.WriteString("Three", "abc"));
    char wide[16];
    std::memset(wide, 'x', sizeof wide);
    ASSERT_TRUE(store.ReadString("Three", wide));
    EXPECT_STREQ(wide, "abc");
    EXPECT_EQ(wide[15], '\0') << "the rest of the field is cleared";

    char narrow[2] = {'k', '\0'};
    EXPECT_FALSE(store.ReadString("Three", narrow));
    EXPECT_STREQ(narrow, "k") << "a failed read leaves the field untouched";
}

TEST_F(RegistryStoreTest, TextThatFillsTheWholeFieldCountsAsMissing) {
    ASSERT_TRUE(store.WriteString("Fifteen", std::string(15, '1')));
    ASSERT_TRUE(store.WriteString("Sixteen", std::string(16, '1')));
    char field[16] = "kept";
    ASSERT_TRUE(store.ReadString("Fifteen", field));
    EXPECT_EQ(std::string(field), std::string(15, '1'));

    CopyBounded(field, "kept");
    EXPECT_FALSE(store.ReadString("Sixteen", field));
    EXPECT_STREQ(field, "kept");
}

TEST_F(RegistryStoreTest, ZeroLengthValueReadsAsEmptyText) {
    ASSERT_TRUE(store.WriteString("Empty", ""));
    char field[16] = "old";
    ASSERT_TRUE(store.ReadString("Empty", field));
    EXPECT_STREQ(field, "");
}

TEST_F(RegistryStoreTest, ValuesWrittenByOtherProgramsReadUpToTheirFirstZeroByte) {
    const DWORD number = 0x00333231; // "123" and a zero byte, little-endian
    hive.WriteRaw(kTovraKey, "Number", REG_DWORD, &number, sizeof number);
    hive.WriteRaw(kTovraKey, "Terminated", REG_SZ, "abcd", 5);
    char field[16] = {};
    ASSERT_TRUE(store.ReadString("Number", field));
    EXPECT_STREQ(field, "123");
    char exact[5] = {};
    ASSERT_TRUE(store.ReadString("Terminated", exact)) << "a stored terminator is not part of the text";
    EXPECT_STREQ(exact, "abcd");
}

TEST_F(RegistryStoreTest, ReadOfAMissingKeyFailsAndDoesNotCreateIt) {
    char field[16] = "kept";
    EXPECT_FALSE(store.ReadString("SiteAddress", field));
    EXPECT_STREQ(field, "kept");
    EXPECT_FALSE(hive.HasKey(kTovraKey));
    EXPECT_FALSE(hive.HasKey("SOFTWARE\\Brannik"));

    ASSERT_TRUE(store.WriteString("SiteAddress", "ftp.example.com"));
    EXPECT_TRUE(hive.HasKey(kTovraKey));
    EXPECT_FALSE(store.ReadString("NoSuchValue", field));
    EXPECT_STREQ(field, "kept");
}

TEST_F(RegistryStoreTest, ZeroSizedBufferIsNeverWritten) {
    ASSERT_TRUE(store.WriteString("Value", ""));
    char field[1] = {'z'};
    EXPECT_FALSE(store.ReadString("Value", field, 0));
    EXPECT_EQ(field[0], 'z');
}

} // namespace
} // namespace tovra
