#include "pages/SitePage.h"
#include "resources/SitePageIds.h"
#include "tests/pages/PageTestSupport.h"

#include <gtest/gtest.h>

#include <commdlg.h>
#include <dlgs.h>

#include <string>

namespace tovra {
namespace {

std::string CurrentDirectory() {
    char directory[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, directory);
    return directory;
}

// A folder of its own under the temporary directory with one template file in it; both go again
// at the end.
class TemplateFolder {
public:
    TemplateFolder() {
        char temp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "tovra-site-page-" + std::to_string(::GetCurrentProcessId());
        ::CreateDirectoryA(folder_.c_str(), nullptr);
        file_ = folder_ + "\\page.htm";
        const UniqueFileHandle handle(::CreateFileA(file_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    ~TemplateFolder() {
        ::DeleteFileA(file_.c_str());
        ::RemoveDirectoryA(folder_.c_str());
    }
    const std::string& Folder() const { return folder_; }
    const std::string& File() const { return file_; }

private:
    std::string folder_;
    std::string file_;
};

// Types a name into the open dialog's file name box and presses its Open button. A folder name
// makes the dialog go into that folder, as a user's browsing does, and leaves it open.
void Enter(HWND dialog, const std::string& name, bool wait) {
    HWND box = ::GetDlgItem(dialog, cmb13);
    if (!box)
        box = ::GetDlgItem(dialog, edt1);
    ::SendMessageA(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
    const WPARAM open = MAKEWPARAM(IDOK, BN_CLICKED);
    const LPARAM button = reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK));
    if (wait)
        ::SendMessageA(dialog, WM_COMMAND, open, button);
    else
        ::PostMessageA(dialog, WM_COMMAND, open, button);
}

class SitePageTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::RegisterCommonControls();
        ASSERT_TRUE(host);
        ASSERT_TRUE(page.Create(::GetModuleHandleA(nullptr), host.get()));
    }

    UniqueWindow host = test::MakeHostWindow();
    CSitePage page;
};

TEST_F(SitePageTest, IsCreatedHiddenAsAChildWithItsControls) {
    EXPECT_FALSE(page.IsVisible());
    EXPECT_EQ(::GetParent(page), host.get());
    EXPECT_EQ(page.ItemText(IDC_SITE_PASSIVE_MODE), "Passive Mode");
    EXPECT_EQ(page.ItemText(IDC_SITE_BROWSE_TEMPLATE), "...");
    for (int id : {IDC_SITE_ADDRESS, IDC_SITE_PORT, IDC_SITE_USERNAME, IDC_SITE_PASSWORD,
                   IDC_SITE_REMOTE_PATH, IDC_SITE_TEMPLATE_FILE})
        EXPECT_TRUE(::GetWindowLongA(page.Item(id), GWL_STYLE) & WS_TABSTOP) << id;
}

TEST_F(SitePageTest, PortTakesDigitsAndRefusesLetters) {
    const Window port(page.Item(IDC_SITE_PORT));
    for (char typed : std::string("2a1x"))
        port.SendMsg(WM_CHAR, static_cast<WPARAM>(typed), 1);
    EXPECT_EQ(port.Text(), "21");
}

TEST_F(SitePageTest, PasswordIsMasked) {
    EXPECT_NE(Window(page.Item(IDC_SITE_PASSWORD)).SendMsg(EM_GETPASSWORDCHAR), 0);
}

TEST_F(SitePageTest, PassiveModeTogglesWhenClicked) {
    ASSERT_FALSE(page.IsChecked(IDC_SITE_PASSIVE_MODE));
    Window(page.Item(IDC_SITE_PASSIVE_MODE)).SendMsg(BM_CLICK);
    EXPECT_TRUE(page.IsChecked(IDC_SITE_PASSIVE_MODE));
}

// The port follows the protocol only while it holds the old protocol's default; a port the user
// typed stays whatever is chosen.
TEST_F(SitePageTest, ThePortFollowsTheProtocolOnlyWhileItIsTheOldDefault) {
    const Window protocols(page.Item(IDC_SITE_PROTOCOL));
    const auto choose = [&](PageProtocol protocol) {
        protocols.SendMsg(CB_SETCURSEL, static_cast<WPARAM>(protocol));
        page.SendMsg(WM_COMMAND, MAKEWPARAM(IDC_SITE_PROTOCOL, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(protocols.Handle()));
        return page.ItemText(IDC_SITE_PORT);
    };
    page.SetItemText(IDC_SITE_PORT, "21");
    EXPECT_EQ(choose(PageProtocol::Ftps), "21");
    EXPECT_EQ(choose(PageProtocol::WebDav), "443");
    EXPECT_EQ(choose(PageProtocol::Ftp), "21");
    page.SetItemText(IDC_SITE_PORT, "2121");
    EXPECT_EQ(choose(PageProtocol::WebDav), "2121");
    EXPECT_EQ(page.Protocol(), PageProtocol::WebDav);
}

TEST_F(SitePageTest, ChosenTemplateFillsTheBoxAndTheCurrentDirectoryStays) {
    const TemplateFolder templates;
    const std::string before = CurrentDirectory();
    ASSERT_NE(before, templates.Folder());
    page.SetItemText(IDC_SITE_TEMPLATE_FILE, "Tovra.html");

    test::ModalDriver driver("Open", [&](HWND dialog) {
        Enter(dialog, templates.Folder(), true);
        Enter(dialog, "page.htm", false);
    });
    EXPECT_TRUE(page.BrowseTemplate());
    ASSERT_TRUE(driver.Found());

    EXPECT_EQ(page.ItemText(IDC_SITE_TEMPLATE_FILE), templates.File());
    EXPECT_EQ(CurrentDirectory(), before);
}

TEST_F(SitePageTest, CancelledBrowseLeavesTheBoxAsItWas) {
    page.SetItemText(IDC_SITE_TEMPLATE_FILE, "C:\\web\\mine.html");
    test::ModalDriver driver(
        "Open", [](HWND dialog) { ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); });
    // The browse button runs the same path as a direct call.
    Window(page.Item(IDC_SITE_BROWSE_TEMPLATE)).SendMsg(BM_CLICK);
    ASSERT_TRUE(driver.Found());
    EXPECT_EQ(page.ItemText(IDC_SITE_TEMPLATE_FILE), "C:\\web\\mine.html");
}

} // namespace
} // namespace tovra
