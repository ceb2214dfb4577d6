#pragma once
// The "Connection" page: the site (address, port, user name, password, remote file path, the
// protocol, passive mode) and the local template file, with a "..." button that browses for it.
//
// The page keeps no data of its own: the main window fills its controls from the settings and
// reads them back on Save (ids in resources/SitePageIds.h). Its behaviours are the browse button
// and the port that follows a change of protocol while it holds the old protocol's default.
//
// Threads: UI thread only, like every dialog.

#include "framework/Dialog.h"
#include "settings/Settings.h"

namespace tovra {

class CSitePage : public Dialog {
public:
    CSitePage() = default;
    ~CSitePage() override;

    // Creates the page hidden, as a child of parent.
    bool Create(HINSTANCE instance, HWND parent);

    // Opens the file-open dialog at the template box's current path and puts the chosen file into
    // the box; a cancel leaves the box as it was. The process's current directory never moves,
    // since the template file's default name is relative to it. Returns whether a file was chosen.
    bool BrowseTemplate();

    void ShowProtocol(PageProtocol protocol);
    PageProtocol Protocol() const;

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    // The protocol the port was last seen with: a port at its default follows the protocol.
    PageProtocol shown_ = PageProtocol::Ftp;
};

} // namespace tovra
