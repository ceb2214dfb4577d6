#pragma once
// The "Connection" page: the FTP site (address, port, user name, password, remote file path,
// passive mode) and the local template file, with a "..." button that browses for it.
//
// The page keeps no data of its own: the main window fills its controls from the settings and
// reads them back on Save (ids in resources/SitePageIds.h). Its one behaviour is the browse
// button.
//
// Threads: UI thread only, like every dialog.

#include "framework/Dialog.h"

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

protected:
    bool OnInit() override;
    bool OnCommand(int id, int code, HWND control) override;
};

} // namespace tovra
