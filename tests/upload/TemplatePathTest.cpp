#include "upload/TemplatePath.h"

#include <gtest/gtest.h>

namespace tovra {
namespace {

TEST(TemplatePath, RelativePathsAreTakenFromTheGivenFolder) {
    EXPECT_EQ(ResolveAgainstFolder("C:\\Program Files\\Tovra\\", "Tovra.html"),
              "C:\\Program Files\\Tovra\\Tovra.html");
    EXPECT_EQ(ResolveAgainstFolder("C:\\Tovra\\", "pages\\ip.html"), "C:\\Tovra\\pages\\ip.html");
    EXPECT_EQ(ResolveAgainstFolder("C:\\Tovra", "ip.html"), "C:\\Tovra\\ip.html");
    EXPECT_EQ(ResolveAgainstFolder("C:\\Tovra\\", "..\\ip.html"), "C:\\Tovra\\..\\ip.html");
    EXPECT_EQ(ResolveAgainstFolder(L"C:\\Users\\\u0141ucja\\Tovra", L"ip.html"),
              L"C:\\Users\\\u0141ucja\\Tovra\\ip.html");
    EXPECT_EQ(ResolveAgainstFolder(L"C:\\Tovra\\", L"D:\\ip.html"), L"D:\\ip.html");
}

TEST(TemplatePath, RootedPathsAndEmptyOnesStayAsTheyAre) {
    for (const char* path : {"C:\\x\\ip.html", "c:/x/ip.html", "D:ip.html", "\\x\\ip.html", "/x/ip.html",
                             "\\\\server\\share\\ip.html", ""})
        EXPECT_EQ(ResolveAgainstFolder("C:\\Tovra\\", path), path);
    EXPECT_EQ(ResolveAgainstFolder("", "Tovra.html"), "Tovra.html") << "no folder known: left to the system";
}

TEST(TemplatePath, FolderOfKeepsTheTrailingSeparator) {
    EXPECT_EQ(FolderOf("C:\\Tovra\\Tovra.exe"), "C:\\Tovra\\");
    EXPECT_EQ(FolderOf("/usr/bin/tests"), "/usr/bin/");
    EXPECT_EQ(FolderOf("Tovra.exe"), "");
    EXPECT_EQ(FolderOf(L"C:\\\u0416\\Tovra.exe"), L"C:\\\u0416\\");
}

} // namespace
} // namespace tovra
