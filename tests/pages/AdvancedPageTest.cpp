#include "detection/SiteUrl.h"
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

std::vector<IpSite> Sites() {
    return {{"ifconfig.me", "/ip"},
            {"api.ipify.org", "/", IpSiteScheme::Https, 0},
            {"b.example", "/", IpSiteScheme::Http, 8080}};
}

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

TEST_F(AdvancedPageTest, ProxyPasswordIsMaskedAndTakesAnyCharacter) {
    const Window password(page.Item(IDC_PROXY_PASSWORD));
    EXPECT_NE(password.SendMsg(EM_GETPASSWORDCHAR), 0);
    for (char typed : std::string("1a2B3!"))
        password.SendMsg(WM_CHAR, static_cast<WPARAM>(typed), 1);
    EXPECT_EQ(password.Text(), "1a2B3!");
}

TEST_F(AdvancedPageTest, SitesAreListedInTheirOwnOrderAsUrls) {
    page.ShowSites(Sites());
    EXPECT_EQ(page.SiteList(), (Entries{"ifconfig.me/ip", "https://api.ipify.org/", "b.example:8080/"}));
    EXPECT_EQ(page.Sites(), Sites());
    page.ShowSites({});
    EXPECT_TRUE(page.SiteList().empty());
}

TEST_F(AdvancedPageTest, RemoveTakesOutTheSelectedSiteAndSelectsTheNext) {
    page.ShowSites(Sites());
    Window(page.Item(IDC_IP_SITE_REMOVE)).SendMsg(BM_CLICK);
    EXPECT_EQ(page.Sites().size(), 3u) << "nothing selected, nothing removed";

    Select(1);
    Window(page.Item(IDC_IP_SITE_REMOVE)).SendMsg(BM_CLICK);
    EXPECT_EQ(page.SiteList(), (Entries{"ifconfig.me/ip", "b.example:8080/"}));
    Window(page.Item(IDC_IP_SITE_REMOVE)).SendMsg(BM_CLICK);
    EXPECT_EQ(page.Sites(), (std::vector<IpSite>{Sites()[0]}));
}

TEST_F(AdvancedPageTest, AddOpensTheDialogReadyForAnAddressAndSaysWhatIsWrong) {
    std::string address, path, hintAtOpen, hintForPort;
    bool enabledAtOpen = true, enabledWithAddress = false, enabledWithoutPath = false,
         enabledWithBadPort = true, centredOverOwner = false;
    LRESULT limit = 0;
    test::ModalDriver driver("Add IP Site", [&](HWND dialog) {
        address = test::ControlText(::GetDlgItem(dialog, IDC_ADD_SITE_ADDRESS));
        path = test::ControlText(::GetDlgItem(dialog, IDC_ADD_SITE_PATH));
        hintAtOpen = test::ControlText(::GetDlgItem(dialog, IDC_ADD_SITE_HINT));
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
        Type(dialog, IDC_ADD_SITE_ADDRESS, "m.example:70000");
        enabledWithBadPort = AddEnabled(dialog);
        hintForPort = test::ControlText(::GetDlgItem(dialog, IDC_ADD_SITE_HINT));
        Press(dialog, IDCANCEL);
    });
    ClickAdd();
    ASSERT_TRUE(driver.Found());

    EXPECT_EQ(address, "");
    EXPECT_EQ(path, "/");
    EXPECT_EQ(limit, AddIpSiteDialog::kMaxChars);
    EXPECT_FALSE(enabledAtOpen);
    EXPECT_FALSE(hintAtOpen.empty());
    EXPECT_TRUE(centredOverOwner);
    EXPECT_TRUE(enabledWithAddress);
    EXPECT_TRUE(enabledWithoutPath) << "an empty path is the root";
    EXPECT_FALSE(enabledWithBadPort);
    EXPECT_EQ(hintForPort, SiteFormHint(SiteFormError::Port));
    EXPECT_TRUE(page.SiteList().empty()) << "a cancelled dialog adds nothing";
}

TEST_F(AdvancedPageTest, AddedSiteGoesToTheEndAndOneAlreadyListedIsRefused) {
    page.ShowSites(Sites());
    bool enabledForListed = true;
    test::ModalDriver refused("Add IP Site", [&](HWND dialog) {
        Type(dialog, IDC_ADD_SITE_ADDRESS, "HTTP://IfConfig.me:80");
        Type(dialog, IDC_ADD_SITE_PATH, "ip");
        enabledForListed = AddEnabled(dialog);
        Press(dialog, IDOK);
        Press(dialog, IDCANCEL);
    });
    ClickAdd();
    ASSERT_TRUE(refused.Found());
    EXPECT_FALSE(enabledForListed);

    test::ModalDriver added("Add IP Site", [](HWND dialog) {
        Type(dialog, IDC_ADD_SITE_ADDRESS, "https://a.example");
        Type(dialog, IDC_ADD_SITE_PATH, "my/ip");
        Press(dialog, IDOK);
    });
    ClickAdd();
    ASSERT_TRUE(added.Found());
    EXPECT_EQ(page.SiteList(), (Entries{"ifconfig.me/ip", "https://api.ipify.org/", "b.example:8080/",
                                        "https://a.example/my/ip"}));
    EXPECT_EQ(page.Sites().back(), (IpSite{"a.example", "/my/ip", IpSiteScheme::Https, 0}));
}

TEST_F(AdvancedPageTest, EnterWithAnUnsoundAddressDoesNotEndTheDialog) {
    AddIpSiteDialog dialog;
    bool stillOpen = false;
    test::ModalDriver driver("Add IP Site", [&](HWND window) {
        // What Enter sends to the dialog, whether or not "&Add" is enabled.
        Type(window, IDC_ADD_SITE_ADDRESS, "ip example");
        ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        stillOpen = ::IsWindowVisible(window) != FALSE;
        Type(window, IDC_ADD_SITE_ADDRESS, "ip.example");
        ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    EXPECT_EQ(dialog.Run(::GetModuleHandleA(nullptr), host.get()), IDOK);
    ASSERT_TRUE(driver.Found());
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(dialog.Site(), (IpSite{"ip.example", "/", IpSiteScheme::Http, 0}));
}

} // namespace
} // namespace tovra
