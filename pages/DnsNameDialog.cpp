#include "pages/DnsNameDialog.h"

#include "framework/WindowPlacement.h"
#include "names/NameForm.h"
#include "resources/NamesPageIds.h"
#include "resources/ResourceIds.h"

#include <string>
#include <utility>

namespace tovra {

DnsNameDialog::~DnsNameDialog() {
    Destroy();
}

INT_PTR DnsNameDialog::Run(HINSTANCE instance, HWND owner, DnsName name) {
    original_ = std::move(name);
    name_ = original_;
    return DoModal(instance, IDD_DNS_NAME, owner);
}

bool DnsNameDialog::OnInit() {
    for (int id : {IDC_NAME_SERVER, IDC_NAME_HOST, IDC_NAME_ACCOUNT, IDC_NAME_SECRET})
        LimitItemText(id, kMaxChars);
    const Window services(Item(IDC_NAME_SERVICE));
    for (const NameChoice& choice : NameChoices())
        services.SendMsg(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.label.c_str()));
    services.SendMsg(CB_SETCURSEL, ChoiceOf(original_));
    SetItemText(IDC_NAME_SERVER, original_.server);
    SetItemText(IDC_NAME_HOST, original_.hostName);
    SetItemText(IDC_NAME_ACCOUNT, original_.account);
    // The secret itself never goes into a control, where another program could read it.
    SetItemText(IDC_NAME_SECRET_NOTE,
                original_.secret.empty() ? std::string() : "One is stored; type a new one to replace it.");
    ShowChoice();
    CenterWindow(Handle(), ::GetWindow(Handle(), GW_OWNER));
    return true;
}

std::size_t DnsNameDialog::Choice() const {
    const LRESULT selected = Window(Item(IDC_NAME_SERVICE)).SendMsg(CB_GETCURSEL);
    return selected == CB_ERR ? NameChoices().size() : static_cast<std::size_t>(selected);
}

void DnsNameDialog::ShowChoice() {
    const std::vector<NameChoice> choices = NameChoices();
    const std::size_t choice = Choice();
    if (choice < choices.size()) {
        const NameChoice& chosen = choices[choice];
        if (!chosen.presetServer.empty())
            SetItemText(IDC_NAME_SERVER, chosen.presetServer);
        // A preset's server is the provider's; the others are the user's (or, for DuckDNS and
        // Cloudflare, empty for the service's own).
        ::SendMessageA(Item(IDC_NAME_SERVER), EM_SETREADONLY, chosen.presetServer.empty() ? FALSE : TRUE, 0);
        EnableItem(IDC_NAME_ACCOUNT, chosen.service == DnsService::Dyndns2);
    }
    UpdateOkButton();
}

bool DnsNameDialog::OnCommand(int id, int code, HWND) {
    if (id == IDC_NAME_SERVICE && code == CBN_SELCHANGE) {
        ShowChoice();
        return true;
    }
    if (code == EN_CHANGE) {
        UpdateOkButton();
        return true;
    }
    return false;
}

void DnsNameDialog::OnOK() {
    // Enter reaches here even while "OK" is disabled; an unsound name must not get through.
    if (UpdateOkButton())
        Dialog::OnOK();
}

bool DnsNameDialog::UpdateOkButton() {
    NameFormInput input;
    input.choice = Choice();
    input.server = ItemText(IDC_NAME_SERVER);
    input.hostName = ItemText(IDC_NAME_HOST);
    input.account = ItemText(IDC_NAME_ACCOUNT);
    input.typedSecret = ItemText(IDC_NAME_SECRET);
    input.storedSecret = original_.secret;
    std::string hint;
    std::optional<DnsName> name = NameFromForm(input, hint);
    SetItemText(IDC_NAME_HINT, hint);
    EnableItem(IDOK, name.has_value());
    if (!name)
        return false;
    name_ = std::move(*name);
    return true;
}

} // namespace tovra
