// The log file on disk: appending across runs, rotation, sharing and a file that cannot be written.

#include "cycle/LogFile.h"

#include "framework/Win32Handles.h"
#include "tests/support/WideFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace tovra {
namespace {

using test::ReadWholeFile;

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = test::ForeignTempFolder(L"log");
        path_ = folder_ + L"Tovra\\Tovra.log";
    }
    void TearDown() override {
        for (const wchar_t* name : {L"Tovra\\Tovra.log", L"Tovra\\Tovra.1.log"})
            ::DeleteFileW((folder_ + name).c_str());
        ::RemoveDirectoryW((folder_ + L"Tovra").c_str());
        ::RemoveDirectoryW(folder_.c_str());
    }

    std::wstring folder_;
    std::wstring path_;
};

TEST_F(LogFileTest, RunsAppendToOneFileWhoseFolderIsMadeWhenMissing) {
    ASSERT_TRUE(LogFile(path_).Append("first run\r\n"));
    // A reader that keeps the file open (a text editor, a "tail") does not stop the next run.
    UniqueFileHandle reader(::CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader);
    LogFile second(path_);
    ASSERT_TRUE(second.Append("second run\r\n"));
    ASSERT_TRUE(second.Append("more\r\n"));
    EXPECT_EQ(ReadWholeFile(path_), "first run\r\nsecond run\r\nmore\r\n");
}

TEST_F(LogFileTest, AFullFileIsMovedAsideReplacingTheOlderOne) {
    LogFile log(path_, 40);
    const std::string line = "0123456789012345678\r\n"; // 21 bytes
    ASSERT_TRUE(log.Append("oldest\r\n"));
    ASSERT_TRUE(log.Append(line)); // 29 bytes
    ASSERT_TRUE(log.Append(line)); // would be 50: a new file
    ASSERT_TRUE(log.Append("newer\r\n"));
    EXPECT_EQ(ReadWholeFile(log.RotatedPath()), "oldest\r\n" + line);
    EXPECT_EQ(ReadWholeFile(path_), line + "newer\r\n");
    ASSERT_TRUE(log.Append(line)); // the second rotation replaces the first one's file
    EXPECT_EQ(ReadWholeFile(log.RotatedPath()), line + "newer\r\n");
    EXPECT_EQ(ReadWholeFile(path_), line);
    EXPECT_EQ(log.RotatedPath(), folder_ + L"Tovra\\Tovra.1.log");
}

// A full file that cannot go aside keeps every line and says why until it can; one far over the
// limit leaves only its last whole lines, up to the limit, aside.
TEST_F(LogFileTest, AFullFileKeepsItsLinesUntilItCanGoAsideAndOnlyItsTailGoes) {
    LogFile log(path_, 40);
    const std::string line = "012345678901234567\r\n"; // 20 bytes
    ASSERT_TRUE(log.Append("oldest\r\n" + line));
    {
        ASSERT_TRUE(LogFile(log.RotatedPath()).Append("older run\r\n"));
        UniqueFileHandle reader(
            ::CreateFileW(log.RotatedPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(reader);
        ASSERT_TRUE(log.Append(line));
        EXPECT_NE(log.RotationError(), static_cast<DWORD>(ERROR_SUCCESS));
        ASSERT_TRUE(log.Append(line));
    }
    EXPECT_EQ(ReadWholeFile(path_), "oldest\r\n" + line + line + line);
    ASSERT_TRUE(log.Append("newest\r\n"));
    EXPECT_EQ(log.RotationError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(ReadWholeFile(log.RotatedPath()), line + line) << "the last 40 bytes, from a line's start";
    EXPECT_EQ(ReadWholeFile(path_), "newest\r\n");

    ASSERT_TRUE(log.Append("xxxxx" + line + line)); // 45 bytes, into a file of its own
    ASSERT_TRUE(log.Append("last\r\n"));            // whose last 40 start mid-line
    EXPECT_EQ(ReadWholeFile(log.RotatedPath()), line);
}

TEST_F(LogFileTest, ALockedFileFailsEachAppendUntilItIsReleased) {
    LogFile log(path_);
    ASSERT_TRUE(log.Append("before\r\n"));
    {
        UniqueFileHandle locked(
            ::CreateFileW(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(locked);
        EXPECT_FALSE(log.Append("lost\r\n"));
        EXPECT_EQ(log.LastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
    EXPECT_TRUE(log.Append("after\r\n"));
    EXPECT_EQ(ReadWholeFile(path_), "before\r\nafter\r\n");
    EXPECT_FALSE(LogFile(L"").Append("x\r\n"));
}

} // namespace
} // namespace tovra
