// The About box as the user meets it (texts, title font, colours), shown and closed the way the
// main window does it, and the help file looked up beside the program.

#include "mainwindow/AboutDialog.h"
#include "mainwindow/HelpFile.h"

#include "resources/AboutDialogIds.h"
#include "resources/ResourceIds.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using tovra::CAboutDialog;

HINSTANCE Instance() {
    return ::GetModuleHandleA(nullptr);
}

std::string ItemText(HWND dialog, int id) {
    char text[128] = {};
    ::GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

LOGFONTA FontOf(HWND control) {
    LOGFONTA font{};
    const auto handle = reinterpret_cast<HFONT>(::SendMessageA(control, WM_GETFONT, 0, 0));
    ::GetObjectA(handle, sizeof font, &font);
    return font;
}

int ScreenPixelsPerInch() {
    const HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return dpi;
}

TEST(AboutDialogTest, TitleFontIsFourteenPointsRoundedToTheNearestPixel) {
    EXPECT_EQ(CAboutDialog::TitleFontHeight(96), -19);  // 18.67
    EXPECT_EQ(CAboutDialog::TitleFontHeight(120), -23); // 23.33
    EXPECT_EQ(CAboutDialog::TitleFontHeight(144), -28);
}

class OpenAboutDialogTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(about_.Create(Instance(), IDD_ABOUT, nullptr)); }
    HWND Dialog() const { return about_.Handle(); }
    CAboutDialog about_;
};

TEST_F(OpenAboutDialogTest, ShowsNameVersionAndMakerWithoutAVersionLabel) {
    EXPECT_EQ(ItemText(Dialog(), IDC_ABOUT_TITLE), "Tovra");
    EXPECT_EQ(ItemText(Dialog(), IDC_ABOUT_VERSION), "2.0 (build 7)");
    EXPECT_EQ(ItemText(Dialog(), IDC_ABOUT_MAKER), "Brannik");
    EXPECT_EQ(ItemText(Dialog(), IDOK), "&Close");
}

TEST_F(OpenAboutDialogTest, TitleIsInTahomaAtTheDisplaysResolution) {
    const LOGFONTA title = FontOf(::GetDlgItem(Dialog(), IDC_ABOUT_TITLE));
    EXPECT_STREQ(title.lfFaceName, "Tahoma");
    EXPECT_EQ(title.lfHeight, CAboutDialog::TitleFontHeight(ScreenPixelsPerInch()));
    EXPECT_EQ(title.lfCharSet, ANSI_CHARSET);
    EXPECT_FALSE(title.lfItalic);
    // The other texts keep the dialog's own font.
    EXPECT_NE(::SendDlgItemMessageA(Dialog(), IDC_ABOUT_VERSION, WM_GETFONT, 0, 0),
              ::SendDlgItemMessageA(Dialog(), IDC_ABOUT_TITLE, WM_GETFONT, 0, 0));
}

TEST_F(OpenAboutDialogTest, TextsAreBlackOnLightBlueAndTheButtonKeepsSystemColours) {
    const HDC screen = ::GetDC(nullptr);
    const HDC dc = ::CreateCompatibleDC(screen);
    ::SetTextColor(dc, RGB(1, 2, 3));
    ::SetBkMode(dc, OPAQUE);

    const auto staticBrush = reinterpret_cast<HBRUSH>(
        ::SendMessageA(Dialog(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                       reinterpret_cast<LPARAM>(::GetDlgItem(Dialog(), IDC_ABOUT_VERSION))));
    LOGBRUSH brush{};
    ASSERT_EQ(::GetObjectA(staticBrush, sizeof brush, &brush), static_cast<int>(sizeof brush));
    EXPECT_EQ(brush.lbStyle, static_cast<UINT>(BS_SOLID));
    EXPECT_EQ(brush.lbColor, RGB(220, 237, 255));
    EXPECT_EQ(::GetTextColor(dc), RGB(0, 0, 0));
    EXPECT_EQ(::GetBkMode(dc), TRANSPARENT);

    const auto dialogBrush = reinterpret_cast<HBRUSH>(::SendMessageA(
        Dialog(), WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Dialog())));
    EXPECT_EQ(dialogBrush, staticBrush);

    const auto buttonBrush =
        reinterpret_cast<HBRUSH>(::SendMessageA(Dialog(), WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(dc),
                                                reinterpret_cast<LPARAM>(::GetDlgItem(Dialog(), IDOK))));
    EXPECT_NE(buttonBrush, staticBrush);

    ::DeleteDC(dc);
    ::ReleaseDC(nullptr, screen);
}

// Wine reports no high-contrast theme whatever it is told, so the test stands in for the system.
bool g_highContrast = false;

TEST(AboutDialogColoursTest, HighContrastThemeGivesTheSystemsColoursAndTheBannerFitsItsPlace) {
    CAboutDialog about([] { return g_highContrast; });
    ASSERT_TRUE(about.Create(Instance(), IDD_ABOUT, nullptr));
    const HDC screen = ::GetDC(nullptr);
    auto brush = [&](UINT message, HWND control) {
        return ::SendMessageA(about.Handle(), message, reinterpret_cast<WPARAM>(screen),
                              reinterpret_cast<LPARAM>(control));
    };
    const HWND version = ::GetDlgItem(about.Handle(), IDC_ABOUT_VERSION);
    const LRESULT ownBlue = brush(WM_CTLCOLORSTATIC, version);
    g_highContrast = true;
    EXPECT_NE(brush(WM_CTLCOLORSTATIC, version), ownBlue);
    EXPECT_NE(brush(WM_CTLCOLORDLG, about.Handle()), ownBlue);
    g_highContrast = false;
    EXPECT_EQ(brush(WM_CTLCOLORSTATIC, version), ownBlue);
    ::ReleaseDC(nullptr, screen);

    // Drawn for the static's own size at this scale, not a stretched picture of another size.
    const HWND banner = ::GetDlgItem(about.Handle(), IDC_ABOUT_BANNER);
    BITMAP shown{};
    ::GetObjectA(reinterpret_cast<HBITMAP>(::SendMessageA(banner, STM_GETIMAGE, IMAGE_BITMAP, 0)),
                 sizeof shown, &shown);
    RECT place{};
    ::GetClientRect(banner, &place);
    EXPECT_EQ(shown.bmWidth, place.right);
    EXPECT_EQ(shown.bmHeight, place.bottom);
}

// What ShowAndClose does with the box once it is up.
const std::function<void(HWND)>* g_whileOpen = nullptr;

void CALLBACK InspectAndCloseAboutBox(HWND, UINT, UINT_PTR timer, DWORD) {
    const HWND box = ::FindWindowA(nullptr, "About Tovra");
    if (box == nullptr || !::IsWindowVisible(box))
        return;
    ::KillTimer(nullptr, timer);
    (*g_whileOpen)(box);
    ::SendMessageA(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
}

// Runs the box modally over owner as the main window does, calls whileOpen once it is up, and
// closes it with a click on Close. Returns the box's result.
INT_PTR ShowAndClose(const std::function<void(HWND)>& whileOpen, HWND owner = nullptr) {
    g_whileOpen = &whileOpen;
    // The modal loop dispatches this thread's timer, which finds the box and closes it.
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, InspectAndCloseAboutBox);
    CAboutDialog about;
    const INT_PTR result = about.Show(Instance(), owner);
    ::KillTimer(nullptr, timer);
    g_whileOpen = nullptr;
    return result;
}

TEST(AboutDialogModalTest, CloseEndsTheBoxAndLeavesNoFontOrBrushBehind) {
    // Wine counts no GDI objects (always 0), so the objects' own handles are checked as well.
    const DWORD gdiBefore = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    std::vector<HGDIOBJ> used;
    for (int showing = 0; showing < 2; ++showing) {
        const INT_PTR result = ShowAndClose([&](HWND box) {
            used.push_back(
                reinterpret_cast<HGDIOBJ>(::SendDlgItemMessageA(box, IDC_ABOUT_TITLE, WM_GETFONT, 0, 0)));
            const HDC dc = ::GetDC(box);
            used.push_back(reinterpret_cast<HGDIOBJ>(::SendMessageA(
                box, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(box))));
            ::ReleaseDC(box, dc);
        });
        EXPECT_EQ(result, IDOK);
    }
    ASSERT_EQ(used.size(), 4u);
    for (HGDIOBJ object : used) {
        EXPECT_NE(object, nullptr);
        EXPECT_EQ(::GetObjectType(object), 0u) << "still alive: " << object;
    }
    EXPECT_EQ(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore);
}

POINT Middle(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

TEST(AboutDialogModalTest, OpensOverTheMainWindowOrMidScreenWhenThatIsHidden) {
    const HWND main = ::CreateWindowExA(0, "STATIC", "main", WS_POPUP | WS_VISIBLE, 600, 500, 400, 300,
                                        nullptr, nullptr, Instance(), nullptr);
    ASSERT_NE(main, nullptr);
    POINT overMain{}, overScreen{};
    ShowAndClose([&](HWND box) { overMain = Middle(box); }, main);
    ::ShowWindow(main, SW_HIDE);
    ShowAndClose([&](HWND box) { overScreen = Middle(box); }, main);
    ::DestroyWindow(main);

    EXPECT_NEAR(overMain.x, 800, 2);
    EXPECT_NEAR(overMain.y, 650, 2);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoA(::MonitorFromPoint(overScreen, MONITOR_DEFAULTTONEAREST), &monitor);
    EXPECT_NEAR(overScreen.x, (monitor.rcWork.left + monitor.rcWork.right) / 2, 2);
    EXPECT_NEAR(overScreen.y, (monitor.rcWork.top + monitor.rcWork.bottom) / 2, 2);
}

TEST(HelpFileTest, IsLookedUpBesideTheProgramWhateverTheCurrentDirectory) {
    wchar_t program[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring folder(program);
    folder.resize(folder.find_last_of(L'\\') + 1);

    char previous[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryA("C:\\"));
    const std::wstring path = tovra::HelpFilePath();
    ::SetCurrentDirectoryA(previous);

    EXPECT_EQ(path, folder + L"Tovra.chm");
}

TEST(HelpFileTest, MissingHelpFileIsReportedWithoutAnyWindow) {
    ASSERT_EQ(::GetFileAttributesW(tovra::HelpFilePath().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(tovra::OpenHelpFile(nullptr));
}

} // namespace
