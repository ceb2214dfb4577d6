#pragma once
// The "Names" page: the DNS names kept pointed at this PC, with "&Add...", "&Edit..." and
// "Re&move". Like every setting the list counts once the user saves; the main window fills it
// (ShowNames) and reads it back (Names). Each entry shows the host, its service and, when its
// service refused it, the answer that stopped it. A double click edits.
//
// Threads: UI thread only, like every dialog.

#include "framework/Dialog.h"
#include "names/DnsName.h"

#include <vector>

namespace tovra {

class CNamesPage : public Dialog {
public:
    CNamesPage() = default;
    ~CNamesPage() override;

    bool Create(HINSTANCE instance, HWND parent);

    void ShowNames(std::vector<DnsName> names);
    const std::vector<DnsName>& Names() const noexcept { return names_; }

    void AddName();
    void EditName();
    void RemoveName();

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    Window List() const noexcept;
    void Refill(std::size_t selected);

    HINSTANCE instance_ = nullptr;
    std::vector<DnsName> names_; // what the list box shows, entry for entry
};

} // namespace tovra
