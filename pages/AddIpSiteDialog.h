#pragma once
// The small modal dialog in which the user enters one more IP echo site: its host and the path
// of its page. "&Add" is enabled only while both are filled in.
//
// Threads: UI thread only, like every dialog.

#include "framework/Dialog.h"

#include <string>

namespace tovra {

class AddIpSiteDialog : public Dialog {
public:
    // Neither edit takes more than this many characters.
    static constexpr int kMaxChars = 255;

    AddIpSiteDialog() = default;
    ~AddIpSiteDialog() override;

    // Runs the dialog, owned by owner, and returns IDOK ("&Add") or IDCANCEL.
    INT_PTR Run(HINSTANCE instance, HWND owner);

    // What was entered; set when the dialog ends with "&Add", empty otherwise.
    const std::string& Address() const noexcept { return address_; }
    const std::string& Path() const noexcept { return path_; }

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnOK() override;

private:
    void UpdateAddButton() const;

    std::string address_;
    std::string path_;
};

} // namespace tovra
