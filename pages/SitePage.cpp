#include "pages/SitePage.h"

#include "framework/FixedText.h"
#include "framework/SystemLibrary.h"
#include "pages/TabPageTheme.h"
#include "resources/ResourceIds.h"
#include "resources/SitePageIds.h"

#include <commdlg.h>

namespace tovra {
namespace {

// Entries of the open dialog's type list, each as "description\0pattern\0", the list ending in an
// empty entry. The first one is selected when the dialog opens.
constexpr char kTemplateFilter[] = "Common Documents (*.html;*.htm;*.txt)\0*.html;*.htm;*.txt\0"
                                   "All Files (*.*)\0*.*\0";

using GetOpenFileNameFunction = BOOL(WINAPI*)(LPOPENFILENAMEA);

// In the order of PageProtocol.
constexpr const char* kProtocolNames[] = {"FTP", "FTP over TLS (explicit)", "WebDAV over HTTPS"};

} // namespace

CSitePage::~CSitePage() {
    Destroy();
}

bool CSitePage::Create(HINSTANCE instance, HWND parent) {
    return Dialog::Create(instance, IDD_SITE_PAGE, parent);
}

bool CSitePage::OnInit() {
    EnableTabPageTheme(Handle());
    for (const char* name : kProtocolNames)
        ::SendMessageA(Item(IDC_SITE_PROTOCOL), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    ShowProtocol(PageProtocol::Ftp);
    return true;
}

bool CSitePage::OnCommand(int id, int code, HWND) {
    if (id == IDC_SITE_PROTOCOL && code == CBN_SELCHANGE) {
        // A port the user chose stays; one that was only the old protocol's default follows.
        const PageProtocol chosen = Protocol();
        if (ItemText(IDC_SITE_PORT) == DefaultPort(shown_))
            SetItemText(IDC_SITE_PORT, DefaultPort(chosen));
        shown_ = chosen;
        return true;
    }
    if (id != IDC_SITE_BROWSE_TEMPLATE || code != BN_CLICKED)
        return false;
    BrowseTemplate();
    return true;
}

void CSitePage::ShowProtocol(PageProtocol protocol) {
    ::SendMessageA(Item(IDC_SITE_PROTOCOL), CB_SETCURSEL, static_cast<WPARAM>(protocol), 0);
    shown_ = protocol;
}

PageProtocol CSitePage::Protocol() const {
    const LRESULT index = ::SendMessageA(Item(IDC_SITE_PROTOCOL), CB_GETCURSEL, 0, 0);
    return index == 1 ? PageProtocol::Ftps : index == 2 ? PageProtocol::WebDav : PageProtocol::Ftp;
}

bool CSitePage::BrowseTemplate() {
    // As long as the setting that keeps the path: a longer choice could not be stored whole.
    char path[MAX_PATH] = {};
    CopyBounded(path, ItemText(IDC_SITE_TEMPLATE_FILE));

    OPENFILENAMEA request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = Handle();
    request.lpstrFilter = kTemplateFilter;
    request.nFilterIndex = 1;
    request.lpstrFile = path;
    request.nMaxFile = MAX_PATH;
    // No default extension: a name typed without one is meant as it stands.
    // OFN_NOCHANGEDIR: otherwise the dialog leaves the process in the chosen folder, and the
    // relative default "Tovra.html" would silently resolve there from then on.
    request.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST |
                    OFN_ENABLESIZING | OFN_NOCHANGEDIR;
    // The dialog's library comes for the dialog alone: it brings the print spooler along, and
    // under Wine the printing system's libraries with it (2.5 MB), all for a button that is
    // pressed once when the program is set up.
    const UniqueModule dialogs = LoadSystemLibrary("comdlg32.dll");
    const auto getOpenFileName = SystemFunction<GetOpenFileNameFunction>(dialogs.get(), "GetOpenFileNameA");
    if (getOpenFileName == nullptr || !getOpenFileName(&request))
        return false; // cancelled or failed: the box keeps its text
    SetItemText(IDC_SITE_TEMPLATE_FILE, path);
    return true;
}

} // namespace tovra
