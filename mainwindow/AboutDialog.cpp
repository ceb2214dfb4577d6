#include "mainwindow/AboutDialog.h"

#include "framework/DisplayScale.h"
#include "framework/WindowPlacement.h"
#include "resources/AboutDialogIds.h"
#include "resources/ResourceIds.h"

namespace tovra {
namespace {

constexpr COLORREF kBackground = RGB(220, 237, 255);
constexpr int kTitlePoints = 14;

} // namespace

CAboutDialog::CAboutDialog(bool (*highContrast)())
    : highContrast_(highContrast), background_(::CreateSolidBrush(kBackground)) {}

CAboutDialog::~CAboutDialog() {
    Destroy();
}

INT_PTR CAboutDialog::Show(HINSTANCE instance, HWND owner) {
    return DoModal(instance, IDD_ABOUT, owner);
}

int CAboutDialog::TitleFontHeight(int pixelsPerInch) noexcept {
    return -::MulDiv(kTitlePoints, pixelsPerInch, 72);
}

bool CAboutDialog::HighContrast() noexcept {
    HIGHCONTRASTA contrast{};
    contrast.cbSize = sizeof contrast;
    return ::SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

bool CAboutDialog::OnInit() {
    SetItemText(IDC_ABOUT_TITLE, "Tovra");
    SetItemText(IDC_ABOUT_VERSION, kVersion);
    FitToDpi();
    // Over the main window when it is open, else mid-screen (opened from the tray).
    CenterWindow(Handle(), ::GetWindow(Handle(), GW_OWNER));
    return true;
}

// The title font and the banner are the code's own, so the dialog manager's scaling to a new
// monitor does not reach them: they are made again for the window's DPI.
void CAboutDialog::FitToDpi() {
    UniqueFont font(::CreateFontA(TitleFontHeight(static_cast<int>(WindowDpi(Handle()))), 0, 0, 0,
                                  FW_DONTCARE, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_CHARACTER_PRECIS,
                                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                  "Tahoma"));
    if (font) {
        ::SendMessageA(Item(IDC_ABOUT_TITLE), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()),
                       ::IsWindowVisible(Handle()));
        titleFont_ = std::move(font); // the static no longer draws with the old one
    }
    banner_.Fill(Item(IDC_ABOUT_BANNER));
}

bool CAboutDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
    // A high-contrast theme's colours are the user's own: the default handling uses them.
    if ((message == WM_CTLCOLORDLG || message == WM_CTLCOLORSTATIC) && highContrast_())
        return false;
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
