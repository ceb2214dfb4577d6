#include "upload/File.h"
#include "framework/ModuleFolder.h"
#include "framework/Win32Handles.h"
#include "tests/support/SampleTime.h"
#include "tests/support/WideFiles.h"
#include "upload/PageGenerator.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

namespace tovra {
namespace {

using test::Evening;
using test::ReadWholeFile;

// Each test gets folders of its own for the page and the "program", so tests that run at the same
// time never share a Tovra.tmp. Their names hold characters outside code page 1252, as the
// temporary folder of a user called Łucja or Жанна does on an English-language system: every
// path the generator makes itself must reach such folders.
class PageGeneratorTest : public ::testing::Test {
protected:
    PageGeneratorTest()
        : root(test::ForeignTempFolder(L"page")), pageFolder(root + L"temp\\"),
          programFolder(root + L"program\\"), generator(pageFolder, programFolder, [this] {
              ++clockReadings;
              return Evening();
          }) {
        ::CreateDirectoryW(root.c_str(), nullptr);
        ::CreateDirectoryW(pageFolder.c_str(), nullptr);
        ::CreateDirectoryW(programFolder.c_str(), nullptr);
    }
    ~PageGeneratorTest() override {
        for (const std::wstring& folder : {pageFolder, programFolder}) {
            WIN32_FIND_DATAW found;
            HANDLE search = ::FindFirstFileW((folder + L"*").c_str(), &found);
            if (search != INVALID_HANDLE_VALUE) {
                do
                    ::DeleteFileW((folder + found.cFileName).c_str());
                while (::FindNextFileW(search, &found));
                ::FindClose(search);
            }
            ::RemoveDirectoryW(folder.c_str());
        }
        ::RemoveDirectoryW(root.c_str());
    }

    static void WriteFile(const std::wstring& path, const std::string& bytes) {
        const UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        ASSERT_TRUE(
            ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    }
    // Writes the template into the program's folder and returns the setting that names it: its
    // name alone, as the default "Tovra.html" is, since no code-page text can name the folder.
    std::string Template(const std::string& bytes) {
        WriteFile(programFolder + L"page.html", bytes);
        return "page.html";
    }
    std::wstring PagePath() const { return pageFolder + L"Tovra.tmp"; }

    std::wstring root;
    std::wstring pageFolder;
    std::wstring programFolder;
    int clockReadings = 0;
    PageGenerator generator;
};

TEST_F(PageGeneratorTest, WritesTheExpandedPageToTovraTmpReadingTheClockOnce) {
    const auto result =
        generator.Generate(Template("IP <ipaddress> at <time> on <date>, <Time>"), "203.0.113.7");
    ASSERT_TRUE(result) << static_cast<int>(result.failedStep) << " " << result.errorCode;
    EXPECT_EQ(result.pagePath, PagePath());
    EXPECT_EQ(ReadWholeFile(PagePath()),
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
        EXPECT_EQ(ReadWholeFile(PagePath()), bytes);
    }
}

TEST_F(PageGeneratorTest, PlaceholderAcrossAChunkBoundaryIsReplaced) {
    const std::string bytes = std::string(4090, '.') + "<IPAddress>" + std::string(10, '.');
    ASSERT_TRUE(generator.Generate(Template(bytes), "1.2.3.4"));
    EXPECT_EQ(ReadWholeFile(PagePath()), std::string(4090, '.') + "1.2.3.4" + std::string(10, '.'));
}

TEST_F(PageGeneratorTest, ZeroByteDropsTheRestOfItsChunkOnly) {
    std::string small(300, 'a');
    small[100] = '\0';
    ASSERT_TRUE(generator.Generate(Template(small), "x"));
    EXPECT_EQ(ReadWholeFile(PagePath()), std::string(100, 'a'));

    std::string large = std::string(4096, 'a') + std::string(4096, 'b');
    large[10] = '\0';
    ASSERT_TRUE(generator.Generate(Template(large), "x"));
    EXPECT_EQ(ReadWholeFile(PagePath()), std::string(10, 'a') + std::string(4096, 'b'));
}

TEST_F(PageGeneratorTest, MissingTemplateLeavesAnEarlierPageUntouched) {
    WriteFile(PagePath(), "earlier page");
    const auto result = generator.Generate("no such template.html", "x");
    EXPECT_FALSE(result);
    EXPECT_EQ(result.failedStep, PageGenerator::Step::OpenTemplate);
    EXPECT_EQ(result.errorCode, static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(ReadWholeFile(PagePath()), "earlier page");
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
    EXPECT_TRUE(::DeleteFileW((programFolder + L"page.html").c_str()))
        << "the template must have been closed";
    holder.Close();
    EXPECT_EQ(ReadWholeFile(PagePath()), "earlier page");
}

TEST_F(PageGeneratorTest, TemplateOpenForReadingElsewhereCanStillBeUsed) {
    const std::string templatePath = Template("<ipaddress>");
    File reader;
    ASSERT_TRUE(reader.Open(programFolder + L"page.html", File::Mode::Read));
    ASSERT_TRUE(generator.Generate(templatePath, "5.6.7.8"));
    EXPECT_EQ(ReadWholeFile(PagePath()), "5.6.7.8");
}

TEST_F(PageGeneratorTest, RelativeTemplateIsTakenFromTheProgramFolderNotTheCurrentDirectory) {
    WriteFile(programFolder + L"Tovra.html", "program's <ipaddress>");
    WriteFile(pageFolder + L"Tovra.html", "current directory's <ipaddress>");
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(pageFolder.c_str()));
    const auto result = generator.Generate("Tovra.html", "1.1.1.1");
    ::SetCurrentDirectoryW(previous);
    ASSERT_TRUE(result);
    EXPECT_EQ(ReadWholeFile(PagePath()), "program's 1.1.1.1");
}

TEST_F(PageGeneratorTest, UnknownTemporaryDirectoryGeneratesNothing) {
    const std::string templatePath = Template("<ipaddress>");
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(pageFolder.c_str()));
    const auto result = PageGenerator(L"", programFolder, Evening).Generate(templatePath, "x");
    ::SetCurrentDirectoryW(previous);
    EXPECT_FALSE(result);
    EXPECT_EQ(result.failedStep, PageGenerator::Step::CreatePage);
    EXPECT_EQ(::GetFileAttributesW(PagePath().c_str()), INVALID_FILE_ATTRIBUTES)
        << "nothing in the current directory";
}

TEST(PageGeneratorDefaults, PageGoesToTheTemporaryDirectoryAndTemplatesComeFromTheProgramFolder) {
    wchar_t temp[MAX_PATH + 1] = {};
    ASSERT_NE(::GetTempPathW(MAX_PATH + 1, temp), 0u);
    EXPECT_EQ(PageGenerator().PagePath(), std::wstring(temp) + L"Tovra.tmp");

    wchar_t module[MAX_PATH] = {};
    ASSERT_NE(::GetModuleFileNameW(nullptr, module, MAX_PATH), 0u);
    std::wstring expected(module);
    expected.erase(expected.find_last_of(L'\\') + 1);
    EXPECT_EQ(ModuleFolder(), expected);
}

} // namespace
} // namespace tovra
