#pragma once
// The "Advanced" page: the proxy user name and password, the list of IP echo sites with its
// "<< &Add" and ">> &Remove" buttons, and the force-upload check box.
//
// The main window fills and reads the proxy fields and the check box with the settings (ids in
// resources/AdvancedPageIds.h) and fills the site list from the checker. Entries added or removed
// here change only the list box: the checker keeps asking its built-in sites, and nothing of the
// list is stored.
//
// Threads: UI thread only, like every dialog.

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

    // The site list; the list box keeps its entries in its own (case-insensitive) sorted order
    // and allows duplicates.
    void ClearSiteList() const noexcept;
    void AddSiteToList(const std::string& host) const noexcept;
    std::vector<std::string> SiteList() const;

    // "<< &Add": asks for a site with the Add IP Site dialog and lists its host.
    void AddSite();
    // ">> &Remove": removes the selected entry; without a selection nothing happens.
    void RemoveSite() const noexcept;

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    HINSTANCE instance_ = nullptr;
};

} // namespace tovra
