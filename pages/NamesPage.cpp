#include "pages/NamesPage.h"

#include "names/NameForm.h"
#include "pages/DnsNameDialog.h"
#include "pages/TabPageTheme.h"
#include "resources/NamesPageIds.h"
#include "resources/ResourceIds.h"

#include <utility>

namespace tovra {

CNamesPage::~CNamesPage() {
    Destroy();
}

bool CNamesPage::Create(HINSTANCE instance, HWND parent) {
    instance_ = instance;
    return Dialog::Create(instance, IDD_NAMES_PAGE, parent);
}

bool CNamesPage::OnInit() {
    EnableTabPageTheme(Handle());
    return true;
}

bool CNamesPage::OnCommand(int id, int code, HWND) {
    if (id == IDC_NAME_LIST && code == LBN_DBLCLK) {
        EditName();
        return true;
    }
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_NAME_ADD:
        AddName();
        return true;
    case IDC_NAME_EDIT:
        EditName();
        return true;
    case IDC_NAME_REMOVE:
        RemoveName();
        return true;
    default:
        return false;
    }
}

Window CNamesPage::List() const noexcept {
    return Window(Item(IDC_NAME_LIST));
}

void CNamesPage::Refill(std::size_t selected) {
    const Window list = List();
    list.SendMsg(LB_RESETCONTENT);
    for (const DnsName& name : names_) {
        const std::string text = NameListText(name);
        list.SendMsg(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    if (selected < names_.size())
        list.SendMsg(LB_SETCURSEL, selected);
}

void CNamesPage::ShowNames(std::vector<DnsName> names) {
    names_ = std::move(names);
    Refill(names_.size());
}

void CNamesPage::AddName() {
    DnsNameDialog dialog;
    // Owned by the main window, as a top-level dialog must be; a child page cannot own it.
    if (dialog.Run(instance_, ::GetAncestor(Handle(), GA_ROOT)) != IDOK)
        return;
    names_.push_back(dialog.Name());
    Refill(names_.size() - 1);
}

void CNamesPage::EditName() {
    const LRESULT selected = List().SendMsg(LB_GETCURSEL);
    if (selected == LB_ERR || static_cast<std::size_t>(selected) >= names_.size())
        return;
    const auto index = static_cast<std::size_t>(selected);
    DnsNameDialog dialog;
    if (dialog.Run(instance_, ::GetAncestor(Handle(), GA_ROOT), names_[index]) != IDOK)
        return;
    DnsName edited = dialog.Name();
    // Unchanged settings keep what the updates recorded; changed ones start afresh (and so are
    // updated at the next check once saved).
    if (SameSettings(edited, names_[index])) {
        edited.lastAddress = names_[index].lastAddress;
        edited.lastIpv6 = names_[index].lastIpv6;
        edited.stopped = names_[index].stopped;
    }
    names_[index] = std::move(edited);
    Refill(index);
}

void CNamesPage::RemoveName() {
    const LRESULT selected = List().SendMsg(LB_GETCURSEL);
    if (selected == LB_ERR || static_cast<std::size_t>(selected) >= names_.size())
        return;
    const auto index = static_cast<std::size_t>(selected);
    names_.erase(names_.begin() + static_cast<std::ptrdiff_t>(index));
    Refill(index < names_.size() ? index : names_.size() - 1);
}

} // namespace tovra
