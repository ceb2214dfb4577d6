#pragma once
// The modal dialog that adds a DNS name or edits one: the service (a dyndns2 provider's preset,
// another dyndns2 server, DuckDNS or Cloudflare), the server where one is asked, the host name,
// the account's user name where the service has one, and the password or token. A stored secret is
// never shown: the field stays empty, a note says one is stored, and typing replaces it. "OK" is
// enabled only for a sound name (NameFromForm), and a line says what is missing meanwhile.
//
// Threads: UI thread only, like every dialog.

#include "framework/Dialog.h"
#include "names/DnsName.h"

namespace tovra {

class DnsNameDialog : public Dialog {
public:
    static constexpr int kMaxChars = 255;

    DnsNameDialog() = default;
    ~DnsNameDialog() override;

    // Runs the dialog for `name` (a new one when it has no host name), owned by owner; returns
    // IDOK or IDCANCEL.
    INT_PTR Run(HINSTANCE instance, HWND owner, DnsName name = {});

    // The name as entered; meaningful after IDOK.
    const DnsName& Name() const noexcept { return name_; }

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override;

private:
    // Fits the server and user name fields to the chosen service.
    void ShowChoice();
    // Checks the form, shows what is missing and enables "OK" when nothing is; true then, with
    // the name in name_.
    bool UpdateOkButton();
    std::size_t Choice() const;

    DnsName original_;
    DnsName name_;
};

} // namespace tovra
