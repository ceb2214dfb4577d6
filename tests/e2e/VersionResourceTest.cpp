// The program file's version resource, as Explorer's Properties and support tools read it: the
// version the build sets, under the company and product names the settings key also uses.

#include "resources/Version.h"
#include "tests/e2e/TovraProcess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tovra::test {
namespace {

TEST(VersionResourceTest, NamesTheCompanyTheProductAndTheBuildsVersion) {
    const std::string path = TovraExePath();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << path;
    std::vector<char> block(size);
    ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    const DWORD high = MAKELONG(TOVRA_VERSION_MINOR, TOVRA_VERSION_MAJOR);
    const DWORD low = MAKELONG(TOVRA_VERSION_BUILD, TOVRA_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);

    const auto text = [&](const std::string& name) {
        char* value = nullptr;
        UINT chars = 0;
        const std::string query = "\\StringFileInfo\\040904E4\\" + name;
        if (!::VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &chars))
            return std::string("<missing>");
        return std::string(value);
    };
    EXPECT_EQ(text("CompanyName"), "Brannik");
    EXPECT_EQ(text("ProductName"), "Tovra");
    EXPECT_EQ(text("FileVersion"), TOVRA_VERSION_TEXT);
    EXPECT_EQ(text("ProductVersion"), TOVRA_VERSION_TEXT);
    EXPECT_STREQ(TOVRA_VERSION_DISPLAY, "2.0 (build 7)");
}

} // namespace
} // namespace tovra::test
