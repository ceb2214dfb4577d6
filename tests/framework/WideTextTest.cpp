// Names in Windows' "Beta: Use Unicode UTF-8" code page, as Wine makes it for a locale without a
// code page of its own: CTest runs this program with LC_ALL=hi_IN.UTF-8.

#include "framework/WideText.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace tovra {
namespace {

TEST(WideText, TheUtf8CodePageSpellsEveryNameExactlyButALoneSurrogate) {
    ASSERT_EQ(::GetACP(), static_cast<UINT>(CP_UTF8)) << "run with LC_ALL=hi_IN.UTF-8";
    const std::wstring name = L"C:\\Users\\\u0141ucja\\\u00d3d\u017a";
    const std::string utf8 = "C:\\Users\\\xC5\x81ucja\\\xC3\x93"
                             "d\xC5\xBA";
    EXPECT_EQ(NarrowExactly(name), utf8);
    EXPECT_EQ(NarrowForDisplay(name), utf8);
    EXPECT_EQ(WidenAnsi(utf8), name);
    // UTF-8 cannot carry half a surrogate pair: it would become U+FFFD, the name of another file.
    EXPECT_EQ(NarrowExactly(L"a\xD800z"), std::nullopt);
    EXPECT_EQ(NarrowExactly(L""), std::string());
}

} // namespace
} // namespace tovra
