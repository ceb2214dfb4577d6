#include "pages/AddIpSiteDialog.h"
#include "pages/AdvancedPage.h"
#include "resources/AddIpSiteDialogIds.h"
#include "resources/AdvancedPageIds.h"
#include "tests/pages/PageTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tovra {
namespace {

using Entries = std::vector<std::string>;

void Type(HWND dialog, int id, const char* text) {
    ::SendMessageA(::GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

bool AddEnabled(HWND dialog) {
    return ::IsWindowEnabled(::GetDlgItem(dialog, IDOK)) != FALSE;
}

void Press(HWND dialog, int id) {
    ::PostMessageA(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

class AdvancedPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::RegisterCommonControls();
        ASSERT_TRUE(host);
        ASSERT_TRUE(page.Create(::GetModuleHandleA(nullptr), host.get()));
        // Visible and away from the screen's corner, so that where the dialog opens tells.
        ::SetWindowPos(host.get(), nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    }

    void ClickAdd() { Window(page.Item(IDC_IP_SITE_ADD)).SendMsg(BM_CLICK); }
    void Select(int index) {
        Window(page.Item(IDC_IP_SITE_LIST)).SendMsg(LB_SETCURSEL, static_cast<WPARAM>(index));
    }

    UniqueWindow host = test::MakeHostWindow();
    CAdvancedPage page;
};

TEST_F(AdvancedPageTest, IsCreatedHiddenAsAChildWithItsControls) {
    EXPECT_FALSE(page.IsVisible());
    EXPECT_EQ(::GetParent(page), host.get());
    EXPECT_EQ(page.ItemText(IDC_IP_SITE_ADD), "<< &Add");
    EXPECT_EQ(page.ItemText(IDC_IP_SITE_REMOVE), ">> &Remove");
    EXPECT_EQ(page.ItemText(IDC_FORCE_UPLOAD), "Force Upload even if the same IP Address is detected");
    EXPECT_TRUE(page.SiteList().empty());
}

TEST_F(AdvancedPageTest, ProxyPasswordIsMaskedAndRefusesLetters) {
    const Window password(page.Item(IDC_PROXY_PASSWORD));
    EXPECT_NE(password.SendMsg(EM_GETPASSWORDCHAR), 0);
    for (char typed : std::string("1a2B3"))
        password.SendMsg(WM_CHAR, static_cast<WPARAM>(typed), 1);
    EXPECT_EQ(password.Text(), "123");
}

TEST_F(AdvancedPageTest, SitesAreListedInCaseInsensitiveOrderWithDuplicatesKept) {
    for (const char* host : {"checkip.dyndns.org", "api.ipify.org", "Ifconfig.me", "api.ipify.org"})
        page.AddSiteToList(host);
    EXPECT_EQ(page.SiteList(),
              (Entries{"api.ipify.org", "api.ipify.org", "checkip.dyndns.org", "Ifconfig.me"}));
    page.ClearSiteList();
    EXPECT_TRUE(page.SiteList().empty());
}

TEST_F(AdvancedPageTest, RemoveTakesOutTheSelectedEntryOnly) {
    for (const char* host : {"a.example", "b.example", "c.example"})
        page.AddSiteToList(host);
    Window(page.Item(IDC_IP_SITE_REMOVE)).SendMsg(BM_CLICK);
    EXPECT_EQ(page.SiteList().size(), 3u) << "nothing selected, nothing removed";

    Select(1);
    Window(page.Item(IDC_IP_SITE_REMOVE)).SendMsg(BM_CLICK);
    EXPECT_EQ(page.SiteList(), (Entries{"a.example", "c.example"}));
}

TEST_F(AdvancedPageTest, AddOpensTheDialogReadyForAnAddress) {
    std::string address, path;
    bool enabledAtOpen = true, enabledWithAddress = false, enabledWithoutPath = true,
         centredOverOwner = false;
    LRESULT limit = 0;
    test::ModalDriver driver("Add IP Site", [&](HWND dialog) {
        address = test::ControlText(::GetDlgItem(dialog, IDC_ADD_SITE_ADDRESS));
        path = test::ControlText(::GetDlgItem(dialog, IDC_ADD_SITE_PATH));
        limit = ::SendMessageA(::GetDlgItem(dialog, IDC_ADD_SITE_ADDRESS), EM_GETLIMITTEXT, 0, 0);
        enabledAtOpen = AddEnabled(dialog);
        RECT shown{}, owner{};
        ::GetWindowRect(dialog, &shown);
        ::GetWindowRect(host.get(), &owner);
        const POINT middle{(shown.left + shown.right) / 2, (shown.top + shown.bottom) / 2};
        centredOverOwner = ::PtInRect(&owner, middle) != FALSE;
        Type(dialog, IDC_ADD_SITE_ADDRESS, "m");
        enabledWithAddress = AddEnabled(dialog);
        Type(dialog, IDC_ADD_SITE_PATH, "");
        enabledWithoutPath = AddEnabled(dialog);
        Press(dialog, IDCANCEL);
    });
    ClickAdd();
    ASSERT_TRUE(driver.Found());

    EXPECT_EQ(address, "");
    EXPECT_EQ(path, "/");
    EXPECT_EQ(limit, AddIpSiteDialog::kMaxChars);
    EXPECT_FALSE(enabledAtOpen);
    EXPECT_TRUE(centredOverOwner);
    EXPECT_TRUE(enabledWithAddress);
    EXPECT_FALSE(enabledWithoutPath);
    EXPECT_TRUE(page.SiteList().empty()) << "a cancelled dialog adds nothing";
}

TEST_F(AdvancedPageTest, AddedHostGoesToItsSortedPlaceEvenIfAlreadyListed) {
    for (const char* host : {"api.ipify.org", "ifconfig.me"})
        page.AddSiteToList(host);
    for (const char* added : {"checkip.dyndns.org", "ifconfig.me"}) {
        test::ModalDriver driver("Add IP Site", [added](HWND dialog) {
            Type(dialog, IDC_ADD_SITE_ADDRESS, added);
            Type(dialog, IDC_ADD_SITE_PATH, "/ip");
            Press(dialog, IDOK);
        });
        ClickAdd();
        ASSERT_TRUE(driver.Found());
    }
    EXPECT_EQ(page.SiteList(),
              (Entries{"api.ipify.org", "checkip.dyndns.org", "ifconfig.me", "ifconfig.me"}));
}

TEST_F(AdvancedPageTest, EnterWithAnEmptyAddressDoesNotEndTheDialog) {
    AddIpSiteDialog dialog;
    bool stillOpen = false;
    test::ModalDriver driver("Add IP Site", [&](HWND window) {
        // What Enter sends to the dialog, whether or not "&Add" is enabled.
        ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        stillOpen = ::IsWindowVisible(window) != FALSE;
        Type(window, IDC_ADD_SITE_ADDRESS, "ip.example");
        ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    EXPECT_EQ(dialog.Run(::GetModuleHandleA(nullptr), host.get()), IDOK);
    ASSERT_TRUE(driver.Found());
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(dialog.Address(), "ip.example");
    EXPECT_EQ(dialog.Path(), "/");
}

} // namespace
} // namespace tovra
