#pragma once
// The About box: the product name in a large title font, the version and the maker, on a light
// blue background. Shown modally from the tray menu and the main window's system menu; each
// showing constructs its own object, which owns its font and brush.

#include "framework/Dialog.h"
#include "framework/Win32Handles.h"
#include "resources/Version.h"

#include <windows.h>

namespace tovra {

class CAboutDialog : public Dialog {
public:
    CAboutDialog();
    ~CAboutDialog() override;

    // Runs the box over owner until the user closes it.
    INT_PTR Show(HINSTANCE instance, HWND owner);

    // The title font's height in logical units for a display of that many pixels per inch:
    // 14 points, as a character height (negative), rounded to the nearest pixel.
    static int TitleFontHeight(int pixelsPerInch) noexcept;

    static constexpr const char* kVersion = TOVRA_VERSION_DISPLAY;

protected:
    bool OnInit() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void OnDestroy() override;

private:
    UniqueFont titleFont_;
    UniqueBrush background_;
};

} // namespace tovra
