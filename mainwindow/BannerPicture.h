#pragma once
// The vertical banner beside the main window's tabs and in the About box: deep blue at the top
// fading to sky blue, with a column of rising white dots, the address going out. It is drawn for
// the exact pixel size of its place, so it is as sharp at 200 percent as at 100; a picture made
// for one scale would be stretched, or fall short of its place, at every other.
//
// The place is a bitmap static with SS_REALSIZECONTROL, sized by the dialog template in dialog
// units. The static only shows the picture; this object owns it, and must outlive the static.

#include "framework/Win32Handles.h"

#include <windows.h>

namespace tovra {

class BannerPicture {
public:
    // Draws the banner for the static's present size and shows it there; call again after the
    // static has changed size (a new DPI). False when the static has no area or GDI refuses, and
    // then the static keeps what it showed.
    bool Fill(HWND picture);

    // A banner of that many pixels, as a top-down 32-bit DIB section.
    static UniqueBitmap Draw(int width, int height);

private:
    UniqueBitmap shown_;
};

} // namespace tovra
