#include "upload/RemotePath.h"
#include "upload/StatusText.h"

#include <gtest/gtest.h>

namespace tovra {
namespace {

TEST(RemotePath, SplitsAtTheLastSlash) {
    RemotePath p = SplitRemotePath("/htdocs/ip.html");
    EXPECT_EQ(p.directory, "/htdocs/");
    EXPECT_EQ(p.fileName, "ip.html");

    p = SplitRemotePath("/a/b/c.html");
    EXPECT_EQ(p.directory, "/a/b/");
    EXPECT_EQ(p.fileName, "c.html");
}

TEST(RemotePath, PathWithoutSlashHasNoDirectory) {
    const RemotePath p = SplitRemotePath("ip.html");
    EXPECT_EQ(p.directory, "");
    EXPECT_EQ(p.fileName, "ip.html");
}

TEST(RemotePath, RootAloneHasNoFileName) {
    const RemotePath p = SplitRemotePath("/");
    EXPECT_EQ(p.directory, "/");
    EXPECT_EQ(p.fileName, "");
}

TEST(RemotePath, DirectoryPathIsCompletedWithTheTemplateName) {
    std::string path = "/pub/";
    EXPECT_EQ(CompleteRemotePath(path, "C:\\web\\Tovra.html"), "Tovra.html");
    EXPECT_EQ(path, "/pub/Tovra.html");

    path = "/pub/";
    EXPECT_EQ(CompleteRemotePath(path, "Tovra.html"), "Tovra.html");
    EXPECT_EQ(path, "/pub/Tovra.html");

    path = "/";
    EXPECT_EQ(CompleteRemotePath(path, "C:\\web\\Tovra.html"), "Tovra.html");
    EXPECT_EQ(path, "/Tovra.html");

    path = "pub\\";
    EXPECT_EQ(CompleteRemotePath(path, "C:/web/page.htm"), "page.htm");
    EXPECT_EQ(path, "pub\\page.htm");
}

TEST(RemotePath, PathNamingAFileOrNothingIsLeftAlone) {
    std::string path = "/pub/index.html";
    EXPECT_EQ(CompleteRemotePath(path, "C:\\web\\Tovra.html"), "");
    EXPECT_EQ(path, "/pub/index.html");

    path = "ip.html";
    EXPECT_EQ(CompleteRemotePath(path, "Tovra.html"), "");
    EXPECT_EQ(path, "ip.html");

    path.clear();
    EXPECT_EQ(CompleteRemotePath(path, "Tovra.html"), "");
    EXPECT_EQ(path, "");
}

TEST(StatusText, NamesTheThreadAndTheEvent) {
    EXPECT_EQ(FormatStatusText(42, 10, "ftp.example.org"), "[42] resolving name for ftp.example.org");
    EXPECT_EQ(FormatStatusText(42, 11, "127.0.0.1"), "[42] resolved name for 127.0.0.1!");
    EXPECT_EQ(FormatStatusText(7, 20, ""), "[7] Connecting to server...");
    EXPECT_EQ(FormatStatusText(7, 51, ""), "[7] Connection close!");
    EXPECT_EQ(FormatStatusText(7, 70, ""), "[7] Closing Connection...");
    EXPECT_EQ(FormatStatusText(7, 200, ""), "[7] Busy");
}

TEST(StatusText, UnknownCodesAreReportedWithTheirNumber) {
    EXPECT_EQ(FormatStatusText(4294967295UL, 150, "ignored"), "[4294967295] Unknown status: 150");
    EXPECT_EQ(FormatStatusText(1, 0, ""), "[1] Unknown status: 0");
}

} // namespace
} // namespace tovra
