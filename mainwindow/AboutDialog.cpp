#include "mainwindow/AboutDialog.h"

#include "framework/WindowPlacement.h"
#include "resources/AboutDialogIds.h"
#include "resources/ResourceIds.h"

namespace tovra {
namespace {

constexpr COLORREF kBackground = RGB(220, 237, 255);
constexpr int kTitlePoints = 14;

} // namespace

CAboutDialog::CAboutDialog() : background_(::CreateSolidBrush(kBackground)) {}

CAboutDialog::~CAboutDialog() {
    Destroy();
}

INT_PTR CAboutDialog::Show(HINSTANCE instance, HWND owner) {
    return DoModal(instance, IDD_ABOUT, owner);
}

int CAboutDialog::TitleFontHeight(int pixelsPerInch) noexcept {
    return -::MulDiv(kTitlePoints, pixelsPerInch, 72);
}

bool CAboutDialog::OnInit() {
    const HDC dc = ::GetDC(Handle());
    const int pixelsPerInch = ::GetDeviceCaps(dc, LOGPIXELSY);
    ::ReleaseDC(Handle(), dc);

    titleFont_.reset(::CreateFontA(TitleFontHeight(pixelsPerInch), 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE,
                                   ANSI_CHARSET, OUT_CHARACTER_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                   DEFAULT_PITCH | FF_DONTCARE, "Tahoma"));
    SetItemText(IDC_ABOUT_TITLE, "Tovra");
    if (titleFont_)
        ::SendMessageA(Item(IDC_ABOUT_TITLE), WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_.get()), FALSE);
    SetItemText(IDC_ABOUT_VERSION, kVersion);
    // Over the main window when it is open, else mid-screen (opened from the tray).
    CenterWindow(Handle(), ::GetWindow(Handle(), GW_OWNER));
    return true;
}

bool CAboutDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
    switch (message) {
    case WM_CTLCOLORDLG:
        result = reinterpret_cast<INT_PTR>(background_.get());
        return true;
    case WM_CTLCOLORSTATIC: {
        // The statics are drawn on the dialog's own blue; the Close button keeps the system's colours.
        const HDC dc = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(dc, RGB(0, 0, 0));
        ::SetBkMode(dc, TRANSPARENT);
        result = reinterpret_cast<INT_PTR>(background_.get());
        return true;
    }
    default:
        return false;
    }
}

void CAboutDialog::OnDestroy() {
    // The title static goes with the dialog and never draws with the font again.
    titleFont_.reset();
}

} // namespace tovra
