#pragma once
// The program's icon in the notification area, with the hidden window that receives its mouse
// notifications and the shell's "TaskbarCreated" broadcast. A right click opens the tray menu,
// a double click runs the menu's default command; both deliver WM_COMMAND to the command window
// (the main window, once it has named itself).
//
// Threads: everything, from creation to destruction, runs on the window thread that owns the
// hidden window; other threads reach the icon through the main window (the checker's busy picture
// comes by a call run on that thread). There is no lock.
//
// The menu belongs to the hidden window, not to the command window: the menu's owner must be made
// the foreground window, and a hidden dialog left in the foreground would take the keys typed
// after the menu closes.

#include "framework/MessageWindow.h"

#include <windows.h>
#include <shellapi.h>

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

    // Creates the hidden window and adds the icon. commandWindow may be null: the hidden window
    // then stands in until SetCommandWindow, and commands sent to it are ignored. The icon's
    // identifier is also the number of the menu resource shown on a right click. The tip is cut
    // to the 127 characters the shell takes. Returns whether the icon is now in the notification
    // area (true for a hidden icon that needs no adding). Call once.
    bool Create(HINSTANCE instance, HWND commandWindow, UINT callbackMessage, const char* tip, HICON icon,
                UINT id, bool hidden, const TrayBalloon& balloon = {});

    // The window that receives the menu's commands from now on.
    bool SetCommandWindow(HWND window);
    HWND GetCommandWindow() const;

    // Shows the icon resource with that number.
    bool SetIconById(UINT iconId);
    // Shows the icon; a hidden icon remembers it for when it is added again. The icon must
    // outlive its use here: pass shared icons (LoadPicture gives one).
    bool SetIcon(HICON icon);

    // Adds the icon (deleting it first if present); true when it is present afterwards.
    bool AddIcon();
    // Removes the icon; true when it is absent afterwards.
    bool DeleteIcon();
    // Makes a hidden or removed icon visible; true when it is visible afterwards.
    bool ShowIcon();
    // The taskbar has been rebuilt and has forgotten its icons: adds the icon again with its
    // current picture and tip, unless it was deliberately hidden or deleted.
    void Restore();

    UINT GetCallbackMessage() const noexcept { return iconData_.uCallbackMessage; }
    std::string Tip() const;
    HWND HiddenWindow() const noexcept { return Handle(); }

    bool IsHidden() const noexcept { return hidden_; }
    bool IsRemoved() const noexcept { return removed_; }
    bool AddFailed() const noexcept { return addFailed_; }

    // The icon resource with that number at the notification area's size (the small icon size),
    // as a shared icon that is never destroyed. Null when there is none.
    static HICON LoadPicture(HINSTANCE instance, UINT iconId);

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnTrayNotification(WPARAM wParam, LPARAM lParam);
    bool OpenMenu();
    bool RunDefaultCommand();
    // Loads the menu resource named by the icon's identifier (null when missing) and gives its
    // first pop-up in popup (null when the menu or the pop-up is missing).
    HMENU LoadTrayMenu(HMENU& popup) const;

    NOTIFYICONDATAA iconData_{};
    HINSTANCE instance_ = nullptr;
    HWND commandWindow_ = nullptr;
    const UINT taskbarCreated_;
    bool shellAvailable_ = false; // the platform has a notification area
    bool stateSupport_ = false;   // the shell knows hidden icons and balloon tips (NIF_STATE, NIF_INFO)
    bool hidden_ = true;          // not visible
    bool removed_ = true;         // not in the notification area
    bool addFailed_ = false;      // the last attempt to add failed; matters only while removed_
    UINT savedFlags_ = 0;         // the uFlags the icon was created with, to add it again
};

} // namespace tovra
