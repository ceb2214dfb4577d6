#pragma once
// The "Advanced" page: the proxy user name and password, the list of IP echo sites with its
// "<< &Add" and ">> &Remove" buttons, and the force-upload check box.
//
// The main window fills and reads the proxy fields and the check box with the settings (ids in
// resources/AdvancedPageIds.h), and the site list too (ShowSites, Sites): it is a setting like
// the others, so what is added or removed here counts only once the user saves. The list box
// shows the sites in the order the checker asks them, each as its URL.
//
// Threads: UI thread only, like every dialog.

#include "detection/IpSite.h"
#include "framework/Dialog.h"

#include <string>
#include <vector>

namespace tovra {

class CAdvancedPage : public Dialog {
public:
    CAdvancedPage() = default;
    ~CAdvancedPage() override;

    // Creates the page hidden, as a child of parent.
    bool Create(HINSTANCE instance, HWND parent);

    // The site list: replaced whole, and read back as it now stands.
    void ShowSites(std::vector<IpSite> sites);
    const std::vector<IpSite>& Sites() const noexcept { return sites_; }
    // The texts of the list box, top to bottom.
    std::vector<std::string> SiteList() const;

    // "<< &Add": asks for a site with the Add IP Site dialog and appends it.
    void AddSite();
    // ">> &Remove": removes the selected site and selects the one that took its place, so that
    // several can be removed in a row; without a selection nothing happens.
    void RemoveSite();

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    Window List() const noexcept;

    HINSTANCE instance_ = nullptr;
    std::vector<IpSite> sites_; // what the list box shows, entry for entry
};

} // namespace tovra
