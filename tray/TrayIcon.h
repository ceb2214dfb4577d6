#pragma once
// The program's icon in the notification area, with the hidden window that receives its
// notifications and the shell's "TaskbarCreated" broadcast. A right click (or the menu key, or
// Shift+F10) opens the tray menu at the icon; a double click (or Enter or Space on the focused
// icon) runs the menu's default command; both deliver WM_COMMAND to the command window (the main
// window, once it has named itself).
//
// Threads: everything, from creation to destruction, runs on the window thread that owns the
// hidden window; other threads reach the icon through the main window (the checker's busy picture
// comes by a call run on that thread). There is no lock.
//
// The menu belongs to the hidden window, not to the command window: the menu's owner must be made
// the foreground window, and a hidden dialog left in the foreground would take the keys typed
// after the menu closes.
//
// An add that fails (at log-on the shell's tray may not exist yet, or be too busy to answer) is
// tried again on a timer, every 2 s for the first 2 minutes and every 30 s after, and at once on
// "TaskbarCreated". A busy shell may still add the icon after reporting failure, so every retry
// first looks for the icon (NIM_MODIFY) before adding it: it is neither doubled nor left behind.

#include "framework/MessageWindow.h"
#include "framework/Win32Handles.h"

#include <windows.h>
#include <shellapi.h>

#include <map>
#include <string>

namespace tovra {

// A balloon shown once when the icon is added.
struct TrayBalloon {
    const char* text = nullptr; // none: no balloon
    const char* title = nullptr;
    DWORD flags = 0; // NIIF_*
    UINT seconds = 10;
};

class CTrayIcon : private MessageWindow {
public:
    CTrayIcon();
    ~CTrayIcon() override;
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Creates the hidden window and adds the icon, showing the icon resource pictureId.
    // commandWindow may be null: the hidden window then stands in until SetCommandWindow, and
    // commands sent to it are ignored. The icon's identifier is also the number of the menu
    // resource shown on a right click. The tip is cut to the 127 characters the shell takes.
    // Returns whether the icon is now in the notification area (true for a hidden icon that needs
    // no adding); a failed add is retried. Call once.
    bool Create(HINSTANCE instance, HWND commandWindow, UINT callbackMessage, const char* tip, UINT pictureId,
                UINT id, bool hidden, const TrayBalloon& balloon = {});

    // The window that receives the menu's commands from now on.
    bool SetCommandWindow(HWND window);
    HWND GetCommandWindow() const;

    // Shows the icon resource with that number, at the size the shell draws it. A hidden or
    // absent icon remembers it for when it is added again.
    bool SetIconById(UINT iconId);
    // A new tip (cut to 127 characters), kept like the picture.
    bool SetTip(const char* tip);
    // Shows a balloon from the icon once; it does not come back when the icon is added again.
    bool ShowBalloon(const char* title, const char* text, DWORD flags);

    // Adds the icon (deleting it first if present); true when it is present afterwards.
    bool AddIcon();
    // Removes the icon; true when it is absent afterwards.
    bool DeleteIcon();
    // Makes a hidden or removed icon visible; true when it is visible afterwards.
    bool ShowIcon();
    // The taskbar has been rebuilt and has forgotten its icons: adds the icon again with its
    // current picture and tip, unless it was deliberately hidden or deleted.
    void Restore();

    std::string Tip() const;
    HWND HiddenWindow() const noexcept { return Handle(); }

    bool IsHidden() const noexcept { return hidden_; }
    bool IsRemoved() const noexcept { return removed_; }
    // The shell sends keyboard selections and the context menu (NOTIFYICON_VERSION_4).
    bool KeyboardAware() const noexcept { return version4_; }
    // The resource number of the picture shown, and its width in pixels.
    UINT PictureId() const noexcept { return pictureId_; }
    int PictureSize() const noexcept { return pictureSize_; }
    // How many balloons the shell has taken since Create.
    int BalloonsShown() const noexcept { return balloonsShown_; }

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnTrayNotification(WPARAM wParam, LPARAM lParam);
    bool OpenMenu(POINT at);
    bool RunDefaultCommand();
    // Loads the menu resource named by the icon's identifier (null when missing) and gives its
    // first pop-up in popup (null when the menu or the pop-up is missing).
    HMENU LoadTrayMenu(HMENU& popup) const;

    // The picture pictureId_ at the small icon size for the hidden window's DPI.
    HICON Picture();
    bool Modify(UINT flags);
    // Brings the shell's copy up to date or adds the icon; retries on failure.
    bool PutBack();
    void AskForVersion4();
    void RetryLater();
    void StopRetrying();
    void OnRetryTimer();

    NOTIFYICONDATAA iconData_{};
    HINSTANCE instance_ = nullptr;
    HWND commandWindow_ = nullptr;
    const UINT taskbarCreated_;
    bool shellAvailable_ = false; // the platform has a notification area
    bool stateSupport_ = false;   // the shell knows hidden icons and balloon tips (NIF_STATE, NIF_INFO)
    bool hidden_ = true;          // not visible
    bool removed_ = true;         // not in the notification area
    bool addFailed_ = false;      // the last attempt to add failed; matters only while removed_
    bool version4_ = false;       // notifications come in the NOTIFYICON_VERSION_4 form
    UINT savedFlags_ = 0;         // the uFlags the icon was created with, to add it again

    UINT pictureId_ = 0;
    int pictureSize_ = 0;                 // the size the pictures below were loaded at
    std::map<UINT, UniqueIcon> pictures_; // by resource number

    DWORD retryingSince_ = 0; // GetTickCount at the first failed add of a series
    UINT retryPeriodMs_ = 0;  // 0 when not retrying
    DWORD lastMouseUp_ = 0;   // GetTickCount at the last left button release on the icon
    DWORD lastSelect_ = 0;    // GetTickCount when a selection last ran the default command
    bool selected_ = false;   // lastSelect_ holds a time
    int balloonsShown_ = 0;
};

} // namespace tovra
