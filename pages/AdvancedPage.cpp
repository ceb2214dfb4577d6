#include "pages/AdvancedPage.h"

#include "detection/SiteUrl.h"
#include "pages/AddIpSiteDialog.h"
#include "pages/TabPageTheme.h"
#include "resources/AdvancedPageIds.h"
#include "resources/ResourceIds.h"

#include <utility>

namespace tovra {
namespace {

void AppendEntry(const Window& list, const IpSite& site) {
    const std::string url = SiteUrl(site);
    list.SendMsg(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(url.c_str()));
}

} // namespace

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

Window CAdvancedPage::List() const noexcept {
    return Window(Item(IDC_IP_SITE_LIST));
}

void CAdvancedPage::ShowSites(std::vector<IpSite> sites) {
    sites_ = std::move(sites);
    const Window list = List();
    list.SendMsg(LB_RESETCONTENT);
    for (const IpSite& site : sites_)
        AppendEntry(list, site);
}

std::vector<std::string> CAdvancedPage::SiteList() const {
    const Window list = List();
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
    if (dialog.Run(instance_, owner, sites_) != IDOK)
        return;
    sites_.push_back(dialog.Site());
    const Window list = List();
    AppendEntry(list, sites_.back());
    // The new entry is the last of a list that may be longer than the box: show it.
    list.SendMsg(LB_SETCURSEL, static_cast<WPARAM>(sites_.size() - 1));
}

void CAdvancedPage::RemoveSite() {
    const Window list = List();
    const LRESULT selected = list.SendMsg(LB_GETCURSEL);
    if (selected == LB_ERR || static_cast<std::size_t>(selected) >= sites_.size())
        return;
    const auto index = static_cast<std::size_t>(selected);
    sites_.erase(sites_.begin() + static_cast<std::ptrdiff_t>(index));
    list.SendMsg(LB_DELETESTRING, index);
    if (!sites_.empty())
        list.SendMsg(LB_SETCURSEL, index < sites_.size() ? index : sites_.size() - 1);
}

} // namespace tovra
