#include "pages/AddIpSiteDialog.h"

#include "framework/WindowPlacement.h"
#include "resources/AddIpSiteDialogIds.h"
#include "resources/ResourceIds.h"

namespace tovra {

AddIpSiteDialog::~AddIpSiteDialog() {
    Destroy();
}

INT_PTR AddIpSiteDialog::Run(HINSTANCE instance, HWND owner) {
    address_.clear();
    path_.clear();
    return DoModal(instance, IDD_ADD_IP_SITE, owner);
}

bool AddIpSiteDialog::OnInit() {
    LimitItemText(IDC_ADD_SITE_ADDRESS, kMaxChars);
    LimitItemText(IDC_ADD_SITE_PATH, kMaxChars);
    SetItemText(IDC_ADD_SITE_PATH, "/");
    UpdateAddButton();
    CenterWindow(Handle(), ::GetWindow(Handle(), GW_OWNER));
    return true;
}

bool AddIpSiteDialog::OnCommand(int id, int code, HWND) {
    if (code == EN_CHANGE && (id == IDC_ADD_SITE_ADDRESS || id == IDC_ADD_SITE_PATH)) {
        UpdateAddButton();
        return true;
    }
    return false;
}

void AddIpSiteDialog::OnOK() {
    // Enter reaches here even while "&Add" is disabled; an empty entry must not get through.
    if (ItemText(IDC_ADD_SITE_ADDRESS).empty() || ItemText(IDC_ADD_SITE_PATH).empty())
        return;
    address_ = ItemText(IDC_ADD_SITE_ADDRESS);
    path_ = ItemText(IDC_ADD_SITE_PATH);
    Dialog::OnOK();
}

void AddIpSiteDialog::UpdateAddButton() const {
    EnableItem(IDOK, !ItemText(IDC_ADD_SITE_ADDRESS).empty() && !ItemText(IDC_ADD_SITE_PATH).empty());
}

} // namespace tovra
