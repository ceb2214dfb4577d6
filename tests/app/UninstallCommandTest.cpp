#include "app/UninstallCommand.h"

#include <gtest/gtest.h>

namespace tovra {
namespace {

TEST(UninstallCommand, MatchesTheWordAtTheEndInAnyLetterCase) {
    EXPECT_TRUE(IsUninstallCommand("\"C:\\Program Files\\Tovra\\tovra.exe\" uninstall"));
    EXPECT_TRUE(IsUninstallCommand("tovra.exe UNINSTALL"));
    EXPECT_TRUE(IsUninstallCommand("tovra.exe /UnInstall"));
    EXPECT_TRUE(IsUninstallCommand("tovra.exe -uninstall"));
    EXPECT_TRUE(IsUninstallCommand("uninstall"));
}

TEST(UninstallCommand, AnythingElseIsANormalRun) {
    EXPECT_FALSE(IsUninstallCommand("tovra.exe uninstall "));
    EXPECT_FALSE(IsUninstallCommand("tovra.exe uninstall\t"));
    EXPECT_FALSE(IsUninstallCommand("tovra.exe uninstalled"));
    EXPECT_FALSE(IsUninstallCommand("ninstall"));
    EXPECT_FALSE(IsUninstallCommand(""));
    EXPECT_FALSE(IsUninstallCommand("tovra.exe"));
    // Only ASCII letters fold: a byte of another code page is not a letter of the word.
    EXPECT_FALSE(IsUninstallCommand("tovra.exe un\xC9nstall"));
}

} // namespace
} // namespace tovra
