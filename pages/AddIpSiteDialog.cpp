#include "pages/AddIpSiteDialog.h"

#include "detection/SiteUrl.h"
#include "framework/WindowPlacement.h"
#include "resources/AddIpSiteDialogIds.h"
#include "resources/ResourceIds.h"

#include <string>
#include <utility>

namespace tovra {

AddIpSiteDialog::~AddIpSiteDialog() {
    Destroy();
}

INT_PTR AddIpSiteDialog::Run(HINSTANCE instance, HWND owner, std::vector<IpSite> listed) {
    listed_ = std::move(listed);
    site_ = IpSite{};
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
    // Enter reaches here even while "&Add" is disabled; an unsound entry must not get through.
    if (UpdateAddButton())
        Dialog::OnOK();
}

bool AddIpSiteDialog::UpdateAddButton() {
    const SiteFormError error =
        ParseNewSite(ItemText(IDC_ADD_SITE_ADDRESS), ItemText(IDC_ADD_SITE_PATH), listed_, site_);
    SetItemText(IDC_ADD_SITE_HINT, std::string(SiteFormHint(error)));
    EnableItem(IDOK, error == SiteFormError::None);
    return error == SiteFormError::None;
}

} // namespace tovra
