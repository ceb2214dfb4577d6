#include "pages/SitePage.h"

#include "framework/FixedText.h"
#include "pages/SystemLibrary.h"
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

} // namespace

CSitePage::~CSitePage() {
    Destroy();
}

bool CSitePage::Create(HINSTANCE instance, HWND parent) {
    return Dialog::Create(instance, IDD_SITE_PAGE, parent);
}

bool CSitePage::OnInit() {
    EnableTabPageTheme(Handle());
    return true;
}

bool CSitePage::OnCommand(int id, int code, HWND) {
    if (id != IDC_SITE_BROWSE_TEMPLATE || code != BN_CLICKED)
        return false;
    BrowseTemplate();
    return true;
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
    const auto getOpenFileName = SystemFunction<GetOpenFileNameFunction>(dialogs, "GetOpenFileNameA");
    if (getOpenFileName == nullptr || !getOpenFileName(&request))
        return false; // cancelled or failed: the box keeps its text
    SetItemText(IDC_SITE_TEMPLATE_FILE, path);
    return true;
}

} // namespace tovra
