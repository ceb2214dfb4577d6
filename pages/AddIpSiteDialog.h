#pragma once
// The small modal dialog in which the user enters one more IP echo site: its address (host, port,
// http:// or https://) and the path of its page. "&Add" is enabled only while the two make a sound
// site that is not listed yet; a line under them says what is wrong meanwhile.
//
// Threads: UI thread only, like every dialog.

#include "detection/IpSite.h"
#include "framework/Dialog.h"

#include <vector>

namespace tovra {

class AddIpSiteDialog : public Dialog {
public:
    // Neither edit takes more than this many characters.
    static constexpr int kMaxChars = 255;

    AddIpSiteDialog() = default;
    ~AddIpSiteDialog() override;

    // Runs the dialog, owned by owner, and returns IDOK ("&Add") or IDCANCEL. `listed` is the
    // list the site is meant for: a site already in it is refused.
    INT_PTR Run(HINSTANCE instance, HWND owner, std::vector<IpSite> listed = {});

    // The site entered, in its canonical form; meaningful when the dialog ended with "&Add".
    const IpSite& Site() const noexcept { return site_; }

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override;

private:
    // Checks the two edits, shows what is wrong, and enables "&Add" when nothing is; true then,
    // with the site in site_.
    bool UpdateAddButton();

    std::vector<IpSite> listed_;
    IpSite site_;
};

} // namespace tovra
