#include "framework/File.h"
#include "framework/Win32Handles.h"
#include "tests/support/SampleTime.h"
#include "upload/PageGenerator.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

namespace tovra {
namespace {

using test::Evening;

// Each test gets folders of its own for the page and the "program", so tests that run at the same
// time never share a Tovra.tmp.
class PageGeneratorTest : public ::testing::Test {
protected:
    PageGeneratorTest()
        : root(TemporaryDirectory() + "TovraPageTest-" + std::to_string(::GetCurrentProcessId()) + "\\"),
          pageFolder(root + "temp\\"), programFolder(root + "program\\"),
          generator(pageFolder, programFolder, [this] {
              ++clockReadings;
              return Evening();
          }) {
        ::CreateDirectoryA(root.c_str(), nullptr);
        ::CreateDirectoryA(pageFolder.c_str(), nullptr);
        ::CreateDirectoryA(programFolder.c_str(), nullptr);
    }
    ~PageGeneratorTest() override {
        for (const std::string& folder : {pageFolder, programFolder}) {
            WIN32_FIND_DATAA found;
            HANDLE search = ::FindFirstFileA((folder + "*").c_str(), &found);
            if (search != INVALID_HANDLE_VALUE) {
                do
                    ::DeleteFileA((folder + found.cFileName).c_str());
                while (::FindNextFileA(search, &found));
                ::FindClose(search);
            }
            ::RemoveDirectoryA(folder.c_str());
        }
        ::RemoveDirectoryA(root.c_str());
    }

    static void WriteFile(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string Template(const std::string& bytes) {
        const std::string path = programFolder + "page.html";
        WriteFile(path, bytes);
        return path;
    }
    std::string PagePath() const { return pageFolder + "Tovra.tmp"; }

    std::string root;
    std::string pageFolder;
    std::string programFolder;
    int clockReadings = 0;
    PageGenerator generator;
};

TEST_F(PageGeneratorTest, WritesTheExpandedPageToTovraTmpReadingTheClockOnce) {
    const auto result =
        generator.Generate(Template("IP <ipaddress> at <time> on <date>, <Time>"), "203.0.113.7");
    ASSERT_TRUE(result) << static_cast<int>(result.failedStep) << " " << result.errorCode;
    EXPECT_EQ(result.pagePath, PagePath());
    EXPECT_EQ(ReadFile(PagePath()),
              "IP 203.0.113.7 at 09:05:07 PM on Monday, 07 December, 2026, 09:05:07 PM");
    EXPECT_EQ(clockReadings, 1);
}

TEST_F(PageGeneratorTest, TemplatesOfAnySizeComeThroughComplete) {
    for (std::size_t size :
         {std::size_t{0}, std::size_t{4095}, std::size_t{4096}, std::size_t{4097}, std::size_t{10000}}) {
        SCOPED_TRACE(size);
        std::string bytes;
        for (std::size_t i = 0; i < size; ++i)
            bytes += static_cast<char>('a' + i % 26);
        ASSERT_TRUE(generator.Generate(Template(bytes), "x"));
        EXPECT_EQ(ReadFile(PagePath()), bytes);
    }
}

TEST_F(PageGeneratorTest, PlaceholderAcrossAChunkBoundaryIsReplaced) {
    const std::string bytes = std::string(4090, '.') + "<IPAddress>" + std::string(10, '.');
    ASSERT_TRUE(generator.Generate(Template(bytes), "1.2.3.4"));
    EXPECT_EQ(ReadFile(PagePath()), std::string(4090, '.') + "1.2.3.4" + std::string(10, '.'));
}

TEST_F(PageGeneratorTest, ZeroByteDropsTheRestOfItsChunkOnly) {
    std::string small(300, 'a');
    small[100] = '\0';
    ASSERT_TRUE(generator.Generate(Template(small), "x"));
    EXPECT_EQ(ReadFile(PagePath()), std::string(100, 'a'));

    std::string large = std::string(4096, 'a') + std::string(4096, 'b');
    large[10] = '\0';
    ASSERT_TRUE(generator.Generate(Template(large), "x"));
    EXPECT_EQ(ReadFile(PagePath()), std::string(10, 'a') + std::string(4096, 'b'));
}

TEST_F(PageGeneratorTest, MissingTemplateLeavesAnEarlierPageUntouched) {
    WriteFile(PagePath(), "earlier page");
    const auto result = generator.Generate(programFolder + "no such template.html", "x");
    EXPECT_FALSE(result);
    EXPECT_EQ(result.failedStep, PageGenerator::Step::OpenTemplate);
    EXPECT_EQ(result.errorCode, static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(ReadFile(PagePath()), "earlier page");
}

TEST_F(PageGeneratorTest, PageHeldOpenElsewhereFailsAndReleasesTheTemplate) {
    const std::string templatePath = Template("<ipaddress>");
    WriteFile(PagePath(), "earlier page");
    File holder;
    ASSERT_TRUE(holder.Open(PagePath(), File::Mode::Read));
    const auto result = generator.Generate(templatePath, "x");
    EXPECT_FALSE(result);
    EXPECT_EQ(result.failedStep, PageGenerator::Step::CreatePage);
    EXPECT_EQ(result.errorCode, static_cast<unsigned long>(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(::DeleteFileA(templatePath.c_str())) << "the template must have been closed";
    holder.Close();
    EXPECT_EQ(ReadFile(PagePath()), "earlier page");
}

TEST_F(PageGeneratorTest, TemplateOpenForReadingElsewhereCanStillBeUsed) {
    const std::string templatePath = Template("<ipaddress>");
    File reader;
    ASSERT_TRUE(reader.Open(templatePath, File::Mode::Read));
    ASSERT_TRUE(generator.Generate(templatePath, "5.6.7.8"));
    EXPECT_EQ(ReadFile(PagePath()), "5.6.7.8");
}

TEST_F(PageGeneratorTest, RelativeTemplateIsTakenFromTheProgramFolderNotTheCurrentDirectory) {
    WriteFile(programFolder + "Tovra.html", "program's <ipaddress>");
    WriteFile(pageFolder + "Tovra.html", "current directory's <ipaddress>");
    char previous[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryA(pageFolder.c_str()));
    const auto result = generator.Generate("Tovra.html", "1.1.1.1");
    ::SetCurrentDirectoryA(previous);
    ASSERT_TRUE(result);
    EXPECT_EQ(ReadFile(PagePath()), "program's 1.1.1.1");
}

TEST_F(PageGeneratorTest, UnknownTemporaryDirectoryGeneratesNothing) {
    const std::string templatePath = Template("<ipaddress>");
    char previous[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryA(pageFolder.c_str()));
    const auto result = PageGenerator("", programFolder, Evening).Generate(templatePath, "x");
    ::SetCurrentDirectoryA(previous);
    EXPECT_FALSE(result);
    EXPECT_EQ(result.failedStep, PageGenerator::Step::CreatePage);
    EXPECT_EQ(::GetFileAttributesA(PagePath().c_str()), INVALID_FILE_ATTRIBUTES)
        << "nothing in the current directory";
}

TEST(PageGeneratorDefaults, PageGoesToTheTemporaryDirectoryAndTemplatesComeFromTheProgramFolder) {
    char temp[MAX_PATH + 1] = {};
    ASSERT_NE(::GetTempPathA(sizeof temp, temp), 0u);
    EXPECT_EQ(PageGenerator().PagePath(), std::string(temp) + "Tovra.tmp");

    char module[MAX_PATH] = {};
    ASSERT_NE(::GetModuleFileNameA(nullptr, module, MAX_PATH), 0u);
    std::string expected(module);
    expected.erase(expected.find_last_of('\\') + 1);
    EXPECT_EQ(ProgramFolder(), expected);
}

} // namespace
} // namespace tovra
