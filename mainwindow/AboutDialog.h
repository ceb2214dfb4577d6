#pragma once
// The About box: the product name in a large title font, the version and the maker, on a light
// blue background, or in the system's colours while a high-contrast theme is on. Shown modally
// from the tray menu and the main window's system menu; each showing constructs its own object,
// which owns its font, brush and banner.

#include "framework/Dialog.h"
#include "framework/Win32Handles.h"
#include "mainwindow/BannerPicture.h"
#include "resources/Version.h"

#include <windows.h>

namespace tovra {

class CAboutDialog : public Dialog {
public:
    // highContrast tells whether a high-contrast theme is on; tests stand in for the system's.
    explicit CAboutDialog(bool (*highContrast)() = &HighContrast);
    ~CAboutDialog() override;

    // Runs the box over owner until the user closes it.
    INT_PTR Show(HINSTANCE instance, HWND owner);

    // The title font's height in logical units for a display of that many pixels per inch:
    // 14 points, as a character height (negative), rounded to the nearest pixel.
    static int TitleFontHeight(int pixelsPerInch) noexcept;

    static constexpr const char* kVersion = TOVRA_VERSION_DISPLAY;

    // Whether the user has a high-contrast theme on, asked afresh at each call so that a theme
    // switched while the box is open is followed at its next paint.
    static bool HighContrast() noexcept;

protected:
    bool OnInit() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void OnDestroy() override;
    void OnDpiChanged() override { FitToDpi(); }

private:
    void FitToDpi();

    bool (*const highContrast_)();
    UniqueFont titleFont_;
    BannerPicture banner_;
    UniqueBrush background_;
};

} // namespace tovra
