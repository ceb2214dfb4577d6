// The compiled resources as the program loads them: every dialog builds with its controls, the
// controls carry the styles that the program's behaviour rests on, and the pictures have the
// sizes that the shell and the dialogs ask for. (The tray menu is checked where it opens.)

#include "resources/AboutDialogIds.h"
#include "resources/AddIpSiteDialogIds.h"
#include "resources/AdvancedPageIds.h"
#include "resources/LocalPageIds.h"
#include "resources/MainDialogIds.h"
#include "resources/ResourceIds.h"
#include "resources/SitePageIds.h"

#include "framework/Dialog.h"
#include "framework/Win32Handles.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

using tovra::UniqueWindow;

INT_PTR CALLBACK PassiveDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

std::string TextOf(HWND window) {
    char text[256] = {};
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

LONG StyleOf(HWND window) {
    return ::GetWindowLongA(window, GWL_STYLE);
}

class ResourcesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX classes{sizeof classes, ICC_TAB_CLASSES | ICC_INTERNET_CLASSES};
        ::InitCommonControlsEx(&classes);
        tovra::Dialog::RegisterDialogClass(Instance(), TOVRA_MAIN_WINDOW_CLASS);
    }

    void SetUp() override {
        main_.reset(
            ::CreateDialogParamA(Instance(), MAKEINTRESOURCEA(IDD_MAIN), nullptr, PassiveDialogProc, 0));
        ASSERT_TRUE(main_) << ::GetLastError();
    }

    static HINSTANCE Instance() { return ::GetModuleHandleA(nullptr); }

    // Child pages need a parent; the main window stands in as it does in the program.
    UniqueWindow Load(int dialogId) {
        const HWND parent = (dialogId == IDD_MAIN) ? nullptr : main_.get();
        return UniqueWindow(
            ::CreateDialogParamA(Instance(), MAKEINTRESOURCEA(dialogId), parent, PassiveDialogProc, 0));
    }

    struct Expected {
        int id;
        const char* className;
        const char* text;
    };

    void ExpectControls(HWND dialog, const std::vector<Expected>& controls) {
        for (const Expected& control : controls) {
            const HWND item = ::GetDlgItem(dialog, control.id);
            ASSERT_NE(item, nullptr) << "control " << control.id;
            EXPECT_STREQ(ClassOf(item).c_str(), control.className) << "control " << control.id;
            if (control.text != nullptr) {
                EXPECT_EQ(TextOf(item), control.text) << "control " << control.id;
            }
        }
    }

    // The dialog's controls in tab order (the order of the template), as ids.
    static std::vector<int> TabStops(HWND dialog) {
        std::vector<int> ids;
        for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
             child = ::GetWindow(child, GW_HWNDNEXT))
            if (StyleOf(child) & WS_TABSTOP)
                ids.push_back(::GetDlgCtrlID(child));
        return ids;
    }

    // Width and height in pixels of a rectangle given in the dialog's units.
    static SIZE DialogUnits(HWND dialog, int width, int height) {
        RECT rect{0, 0, width, height};
        ::MapDialogRect(dialog, &rect);
        return SIZE{rect.right, rect.bottom};
    }

    static HWND FindBitmapStatic(HWND dialog) {
        for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
             child = ::GetWindow(child, GW_HWNDNEXT))
            if ((StyleOf(child) & SS_TYPEMASK) == SS_BITMAP)
                return child;
        return nullptr;
    }

    UniqueWindow main_;
};

TEST_F(ResourcesTest, MainWindowHasTabsButtonsAndBannerAndStartsHidden) {
    const HWND dialog = main_.get();
    EXPECT_EQ(TextOf(dialog), "Tovra");
    EXPECT_FALSE(::IsWindowVisible(dialog));
    EXPECT_TRUE(::GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_FALSE(StyleOf(dialog) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    ExpectControls(dialog, {{IDC_MAIN_TABS, WC_TABCONTROLA, nullptr},
                            {IDC_MAIN_POST_NOW, "Button", "&Post IP now"},
                            {IDOK, "Button", "&Save"},
                            {IDCANCEL, "Button", "&Cancel"}});
    EXPECT_EQ(StyleOf(::GetDlgItem(dialog, IDOK)) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ((std::vector<int>{IDC_MAIN_TABS, IDC_MAIN_POST_NOW, IDOK, IDCANCEL}), TabStops(dialog));
}

// The banners' statics keep the place the template gives them at every scale, for the program
// to fill with a banner drawn for it; a static that took its bitmap's size would keep the size
// of a picture made for one scale.
TEST_F(ResourcesTest, BannersKeepTheirPlaceInTheDialogs) {
    struct Case {
        int dialogId, bannerId, width, height;
    };
    for (const Case& c :
         {Case{IDD_MAIN, IDC_MAIN_BANNER, 16, 187}, Case{IDD_ABOUT, IDC_ABOUT_BANNER, 16, 62}}) {
        UniqueWindow dialog = Load(c.dialogId);
        ASSERT_TRUE(dialog);
        const HWND banner = ::GetDlgItem(dialog.get(), c.bannerId);
        ASSERT_EQ(banner, FindBitmapStatic(dialog.get())) << "dialog " << c.dialogId;
        EXPECT_NE(::SendMessageA(banner, STM_GETIMAGE, IMAGE_BITMAP, 0), 0) << "dialog " << c.dialogId;
        RECT shown{};
        ::GetClientRect(banner, &shown);
        const SIZE place = DialogUnits(dialog.get(), c.width, c.height);
        EXPECT_EQ(shown.right, place.cx) << "dialog " << c.dialogId;
        EXPECT_EQ(shown.bottom, place.cy) << "dialog " << c.dialogId;
    }
}

TEST_F(ResourcesTest, AboutBoxShowsTitleVersionAndMakerAsPlainText) {
    UniqueWindow dialog = Load(IDD_ABOUT);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(TextOf(dialog.get()), "About Tovra");
    ExpectControls(dialog.get(), {{IDC_ABOUT_TITLE, "Static", "Tovra"},
                                  {IDC_ABOUT_VERSION, "Static", "Version"},
                                  {IDOK, "Button", "&Close"},
                                  {IDC_ABOUT_MAKER, "Static", "Brannik"}});
    EXPECT_TRUE(StyleOf(::GetDlgItem(dialog.get(), IDC_ABOUT_TITLE)) & SS_NOPREFIX);
    // Plain text: a static that notifies would behave like a link.
    EXPECT_FALSE(StyleOf(::GetDlgItem(dialog.get(), IDC_ABOUT_MAKER)) & SS_NOTIFY);
}

TEST_F(ResourcesTest, SitePageMasksThePasswordAndTakesOnlyDigitsForThePort) {
    UniqueWindow page = Load(IDD_SITE_PAGE);
    ASSERT_TRUE(page);
    EXPECT_TRUE(StyleOf(page.get()) & WS_CHILD);
    EXPECT_FALSE(StyleOf(page.get()) & WS_VISIBLE);
    ExpectControls(page.get(), {{IDC_SITE_ADDRESS, "Edit", nullptr},
                                {IDC_SITE_PORT, "Edit", nullptr},
                                {IDC_SITE_USERNAME, "Edit", nullptr},
                                {IDC_SITE_PASSWORD, "Edit", nullptr},
                                {IDC_SITE_REMOTE_PATH, "Edit", nullptr},
                                {IDC_SITE_PROTOCOL, "ComboBox", nullptr},
                                {IDC_SITE_PASSIVE_MODE, "Button", "Passive Mode"},
                                {IDC_SITE_TEMPLATE_FILE, "Edit", nullptr},
                                {IDC_SITE_BROWSE_TEMPLATE, "Button", "..."}});
    EXPECT_TRUE(StyleOf(::GetDlgItem(page.get(), IDC_SITE_PORT)) & ES_NUMBER);
    EXPECT_TRUE(StyleOf(::GetDlgItem(page.get(), IDC_SITE_PASSWORD)) & ES_PASSWORD);
    EXPECT_EQ(StyleOf(::GetDlgItem(page.get(), IDC_SITE_PASSIVE_MODE)) & BS_TYPEMASK, BS_AUTOCHECKBOX);
    EXPECT_EQ((std::vector<int>{IDC_SITE_ADDRESS, IDC_SITE_PORT, IDC_SITE_USERNAME, IDC_SITE_PASSWORD,
                                IDC_SITE_REMOTE_PATH, IDC_SITE_PROTOCOL, IDC_SITE_PASSIVE_MODE,
                                IDC_SITE_TEMPLATE_FILE, IDC_SITE_BROWSE_TEMPLATE}),
              TabStops(page.get()));
}

TEST_F(ResourcesTest, LocalPageHasOneRadioGroupAndAReadOnlyLog) {
    UniqueWindow page = Load(IDD_LOCAL_PAGE);
    ASSERT_TRUE(page);
    ExpectControls(page.get(), {{IDC_LOCAL_IP_ADDRESS, WC_IPADDRESSA, nullptr},
                                {IDC_LOCAL_USE_LOCAL, "Button", "Local"},
                                {IDC_LOCAL_USE_WEB, "Button", "Web"},
                                {IDC_LOCAL_IPV6_ADDRESS, "Edit", nullptr},
                                {IDC_LOCAL_LOG, "Edit", nullptr}});
    // Before any click: a clicked radio button becomes a tab stop itself.
    EXPECT_EQ((std::vector<int>{IDC_LOCAL_IP_ADDRESS, IDC_LOCAL_IPV6_ADDRESS, IDC_LOCAL_LOG}),
              TabStops(page.get()));
    EXPECT_NE(StyleOf(::GetDlgItem(page.get(), IDC_LOCAL_IPV6_ADDRESS)) & ES_READONLY, 0);
    const LONG log = StyleOf(::GetDlgItem(page.get(), IDC_LOCAL_LOG));
    EXPECT_EQ(log & (ES_MULTILINE | ES_READONLY | WS_VSCROLL), ES_MULTILINE | ES_READONLY | WS_VSCROLL);

    // Clicking one radio button clears the other: they share a group.
    ::SendDlgItemMessageA(page.get(), IDC_LOCAL_USE_WEB, BM_CLICK, 0, 0);
    ::SendDlgItemMessageA(page.get(), IDC_LOCAL_USE_LOCAL, BM_CLICK, 0, 0);
    EXPECT_EQ(::IsDlgButtonChecked(page.get(), IDC_LOCAL_USE_LOCAL), BST_CHECKED);
    EXPECT_EQ(::IsDlgButtonChecked(page.get(), IDC_LOCAL_USE_WEB), BST_UNCHECKED);
}

TEST_F(ResourcesTest, AdvancedPageKeepsTheSiteListInOrderAndMasksAnyProxyPassword) {
    UniqueWindow page = Load(IDD_ADVANCED_PAGE);
    ASSERT_TRUE(page);
    ExpectControls(page.get(),
                   {{IDC_PROXY_USERNAME, "Edit", nullptr},
                    {IDC_PROXY_PASSWORD, "Edit", nullptr},
                    {IDC_IP_SITE_LIST, "ListBox", nullptr},
                    {IDC_IP_SITE_ADD, "Button", "<< &Add"},
                    {IDC_IP_SITE_REMOVE, "Button", ">> &Remove"},
                    {IDC_FORCE_UPLOAD, "Button", "Force Upload even if the same IP Address is detected"}});
    // The list is the order in which the checker asks; a password has letters as well as digits.
    EXPECT_EQ(StyleOf(::GetDlgItem(page.get(), IDC_PROXY_PASSWORD)) & (ES_PASSWORD | ES_NUMBER), ES_PASSWORD);
    EXPECT_FALSE(StyleOf(::GetDlgItem(page.get(), IDC_IP_SITE_LIST)) & LBS_SORT);
    EXPECT_EQ(StyleOf(::GetDlgItem(page.get(), IDC_FORCE_UPLOAD)) & BS_TYPEMASK, BS_AUTOCHECKBOX);
}

TEST_F(ResourcesTest, AddIpSiteDialogOpensWithItsAddButtonDisabled) {
    UniqueWindow dialog = Load(IDD_ADD_IP_SITE);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(TextOf(dialog.get()), "Add IP Site");
    ExpectControls(dialog.get(), {{IDC_ADD_SITE_ADDRESS, "Edit", nullptr},
                                  {IDC_ADD_SITE_PATH, "Edit", nullptr},
                                  {IDOK, "Button", "&Add"},
                                  {IDCANCEL, "Button", "Cancel"}});
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dialog.get(), IDOK)));
}

// Alt and a label's letter, as the dialog manager of the main window or the Add IP Site dialog
// sees it; the page that is not shown must not answer. The top-level windows stay hidden (their
// controls are visible by their own style, which is what the dialog manager looks at): Wine
// without a window manager takes two seconds to destroy a shown, active window.
TEST_F(ResourcesTest, EveryLabelsMnemonicMovesTheFocusIntoItsField) {
    struct Case {
        int dialogId;
        char key;
        int field;
    };
    const Case cases[] = {
        {IDD_SITE_PAGE, 'a', IDC_SITE_ADDRESS},       {IDD_SITE_PAGE, 'o', IDC_SITE_PORT},
        {IDD_SITE_PAGE, 'u', IDC_SITE_USERNAME},      {IDD_SITE_PAGE, 'w', IDC_SITE_PASSWORD},
        {IDD_SITE_PAGE, 'r', IDC_SITE_REMOTE_PATH},   {IDD_SITE_PAGE, 't', IDC_SITE_TEMPLATE_FILE},
        {IDD_LOCAL_PAGE, 'd', IDC_LOCAL_IP_ADDRESS},  {IDD_ADVANCED_PAGE, 'u', IDC_PROXY_USERNAME},
        {IDD_ADVANCED_PAGE, 'w', IDC_PROXY_PASSWORD}, {IDD_ADVANCED_PAGE, 'i', IDC_IP_SITE_LIST},
        {IDD_ADD_IP_SITE, 'd', IDC_ADD_SITE_ADDRESS}, {IDD_ADD_IP_SITE, 'p', IDC_ADD_SITE_PATH},
    };
    UniqueWindow hiddenPage = Load(IDD_ADVANCED_PAGE);
    ::ShowWindow(hiddenPage.get(), SW_HIDE);
    UniqueWindow dialog;
    int shown = 0;
    for (const Case& c : cases) {
        const bool popup = c.dialogId == IDD_ADD_IP_SITE;
        if (shown != c.dialogId) { // one page at a time, as the tabs show them
            shown = c.dialogId;
            dialog = Load(c.dialogId);
            ASSERT_TRUE(dialog);
            if (!popup)
                ::ShowWindow(dialog.get(), SW_SHOW);
        }
        const HWND top = popup ? dialog.get() : main_.get();
        ::SetFocus(::GetDlgItem(top, IDCANCEL));
        const HWND field = ::GetDlgItem(dialog.get(), c.field);
        // The IP address control passes the focus on to its first box.
        auto focusIsIn = [&] { return ::GetFocus() == field || ::GetParent(::GetFocus()) == field; };
        ASSERT_FALSE(focusIsIn());
        MSG alt{::GetFocus(), WM_SYSCHAR, static_cast<WPARAM>(c.key), 1 << 29, 0, {}};
        EXPECT_TRUE(::IsDialogMessageA(top, &alt));
        EXPECT_TRUE(focusIsIn()) << "dialog " << c.dialogId << ", Alt+" << c.key;
    }
}

// The sizes inside an icon group, read from its directory.
std::set<int> IconSizes(int groupId) {
    const HRSRC found = ::FindResourceA(nullptr, MAKEINTRESOURCEA(groupId), RT_GROUP_ICON);
    if (found == nullptr)
        return {};
    const auto* bytes = static_cast<const BYTE*>(::LockResource(::LoadResource(nullptr, found)));
    const DWORD size = ::SizeofResource(nullptr, found);
    // GRPICONDIR: reserved, type, count (three WORDs), then 14-byte entries starting with width.
    std::set<int> sizes;
    const WORD count = *reinterpret_cast<const WORD*>(bytes + 4);
    for (WORD i = 0; i < count && 6u + 14u * (i + 1u) <= size; ++i) {
        const int width = bytes[6 + 14 * i];
        sizes.insert(width == 0 ? 256 : width);
    }
    return sizes;
}

// Small icons are 16 to 40 pixels and large ones 32 to 64 between 100 and 250 percent scaling;
// a size the icon lacks would be scaled from another and come out blurred. The tray's pictures
// are only ever shown small.
TEST_F(ResourcesTest, EveryIconOffersEverySizeTheShellAsksForUpToTwiceTheScale) {
    EXPECT_EQ(IconSizes(IDI_MAIN), (std::set<int>{16, 20, 24, 32, 40, 48, 64}));
    for (int group : {IDI_TRAY_NORMAL, IDI_TRAY_BUSY, IDI_TRAY_ATTENTION})
        EXPECT_EQ(IconSizes(group), (std::set<int>{16, 20, 24, 32, 40})) << "icon group " << group;
}

// The colour pixels of an icon drawn at size by size on white, as 0x00BBGGRR values.
std::vector<COLORREF> Pixels(int groupId, int size = 16) {
    const HICON icon = static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(groupId),
                                                       IMAGE_ICON, size, size, LR_SHARED));
    if (icon == nullptr)
        return {};
    const HDC screen = ::GetDC(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen);
    const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, size, size);
    const HGDIOBJ old = ::SelectObject(memory, bitmap);
    RECT all{0, 0, size, size};
    ::FillRect(memory, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::DrawIconEx(memory, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            pixels.push_back(::GetPixel(memory, x, y));
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return pixels;
}

// Every size above 20 pixels is stored compressed (PNG): each must still load and show the
// globe's blue in its middle, not an empty or black square.
TEST_F(ResourcesTest, CompressedLargeIconSizesLoadAndShowTheGlobe) {
    for (int size : {24, 32, 40, 48, 64}) {
        const std::vector<COLORREF> pixels = Pixels(IDI_MAIN, size);
        ASSERT_EQ(pixels.size(), static_cast<size_t>(size * size)) << size;
        const COLORREF middle = pixels[static_cast<size_t>(size / 3 * size + size / 2)];
        EXPECT_GT(GetBValue(middle), 150) << size;
        EXPECT_LT(GetRValue(middle), 120) << size;
    }
}

// The busy picture must be told from the normal one at a glance in the tray: most of the
// pixels the pictures cover differ clearly in colour.
TEST_F(ResourcesTest, BusyTrayPictureDiffersClearlyFromTheNormalOneAtSixteenPixels) {
    const std::vector<COLORREF> normal = Pixels(IDI_TRAY_NORMAL);
    const std::vector<COLORREF> busy = Pixels(IDI_TRAY_BUSY);
    ASSERT_EQ(normal.size(), 256u);
    ASSERT_EQ(busy.size(), 256u);
    int covered = 0, different = 0;
    for (size_t i = 0; i < normal.size(); ++i) {
        if (normal[i] == RGB(255, 255, 255) && busy[i] == RGB(255, 255, 255))
            continue;
        ++covered;
        const int distance = std::abs(GetRValue(normal[i]) - GetRValue(busy[i])) +
                             std::abs(GetGValue(normal[i]) - GetGValue(busy[i])) +
                             std::abs(GetBValue(normal[i]) - GetBValue(busy[i]));
        if (distance > 150)
            ++different;
    }
    EXPECT_GT(covered, 100);
    EXPECT_GT(different * 2, covered) << different << " of " << covered << " pixels differ";
}

TEST_F(ResourcesTest, ManifestAsksForCommonControlsSixAndDeclaresDpiAwareness) {
    const HRSRC found = ::FindResourceA(nullptr, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
    ASSERT_NE(found, nullptr);
    const std::string_view manifest(static_cast<const char*>(::LockResource(::LoadResource(nullptr, found))),
                                    ::SizeofResource(nullptr, found));
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string_view::npos);
    EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string_view::npos);
    EXPECT_NE(manifest.find("processorArchitecture=\"x86\""), std::string_view::npos);
    // Per-monitor v2 where Windows has it (its dialog manager scales dialogs to each monitor),
    // else system-aware: never stretched as a bitmap.
    EXPECT_NE(manifest.find(">PerMonitorV2, System</dpiAwareness>"), std::string_view::npos);
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string_view::npos);
}

} // namespace
