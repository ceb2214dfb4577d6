#include "pages/AdvancedPage.h"

#include "pages/AddIpSiteDialog.h"
#include "pages/TabPageTheme.h"
#include "resources/AdvancedPageIds.h"
#include "resources/ResourceIds.h"

namespace tovra {

CAdvancedPage::~CAdvancedPage() {
    Destroy();
}

bool CAdvancedPage::Create(HINSTANCE instance, HWND parent) {
    instance_ = instance;
    return Dialog::Create(instance, IDD_ADVANCED_PAGE, parent);
}

bool CAdvancedPage::OnInit() {
    EnableTabPageTheme(Handle());
    return true;
}

bool CAdvancedPage::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_IP_SITE_ADD:
        AddSite();
        return true;
    case IDC_IP_SITE_REMOVE:
        RemoveSite();
        return true;
    default:
        return false;
    }
}

void CAdvancedPage::ClearSiteList() const noexcept {
    Window(Item(IDC_IP_SITE_LIST)).SendMsg(LB_RESETCONTENT);
}

void CAdvancedPage::AddSiteToList(const std::string& host) const noexcept {
    Window(Item(IDC_IP_SITE_LIST)).SendMsg(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(host.c_str()));
}

std::vector<std::string> CAdvancedPage::SiteList() const {
    const Window list(Item(IDC_IP_SITE_LIST));
    const LRESULT count = list.SendMsg(LB_GETCOUNT);
    std::vector<std::string> entries;
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = list.SendMsg(LB_GETTEXTLEN, static_cast<WPARAM>(i));
        if (length == LB_ERR)
            continue;
        std::string entry(static_cast<std::size_t>(length) + 1, '\0');
        const LRESULT copied =
            list.SendMsg(LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry.data()));
        entry.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
        entries.push_back(std::move(entry));
    }
    return entries;
}

void CAdvancedPage::AddSite() {
    AddIpSiteDialog dialog;
    // Owned by the main window, as a top-level dialog must be; a child page cannot own it.
    const HWND owner = ::GetAncestor(Handle(), GA_ROOT);
    if (dialog.Run(instance_, owner) == IDOK)
        AddSiteToList(dialog.Address()); // the path has no use yet: detection asks only its own sites
}

void CAdvancedPage::RemoveSite() const noexcept {
    const Window list(Item(IDC_IP_SITE_LIST));
    const LRESULT selected = list.SendMsg(LB_GETCURSEL);
    if (selected != LB_ERR)
        list.SendMsg(LB_DELETESTRING, static_cast<WPARAM>(selected));
}

} // namespace tovra
