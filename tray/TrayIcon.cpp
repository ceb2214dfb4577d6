#include "tray/TrayIcon.h"

#include "framework/FixedText.h"
#include "framework/Win32Handles.h"

namespace tovra {
namespace {

constexpr UINT kBaseFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
// The menu's default item, shown bold and run by a double click: the first ("Show").
constexpr UINT kDefaultPosition = 0;

} // namespace

CTrayIcon::CTrayIcon() : taskbarCreated_(::RegisterWindowMessageA("TaskbarCreated")) {
    const DWORD version = ::GetVersion();
    const BYTE major = LOBYTE(LOWORD(version));
    const bool ntFamily = (version & 0x80000000u) == 0;
    shellAvailable_ = major >= 4;
    stateSupport_ = ntFamily && major >= 5;
}

CTrayIcon::~CTrayIcon() {
    DeleteIcon();
    Destroy();
}

bool CTrayIcon::Create(HINSTANCE instance, HWND commandWindow, UINT callbackMessage, const char* tip,
                       HICON icon, UINT id, bool hidden, const TrayBalloon& balloon) {
    if (!shellAvailable_ || HiddenWindow() != nullptr)
        return false;
    if (!MessageWindow::Create(instance, "TrayIconClass"))
        return false;

    instance_ = instance;
    iconData_ = {};
    // The 488-byte form that every shell since Windows 2000 reads; the shell ignores what it
    // does not know, and the later fields would only make older shells refuse the call.
    iconData_.cbSize = NOTIFYICONDATAA_V2_SIZE;
    iconData_.hWnd = commandWindow != nullptr ? commandWindow : HiddenWindow();
    iconData_.uID = id;
    iconData_.hIcon = icon;
    iconData_.uFlags = kBaseFlags;
    iconData_.uCallbackMessage = callbackMessage;
    CopyBounded(iconData_.szTip, tip != nullptr ? tip : "");

    const bool showBalloon = stateSupport_ && balloon.text != nullptr;
    if (showBalloon) {
        iconData_.uFlags |= NIF_INFO;
        CopyBounded(iconData_.szInfo, balloon.text);
        CopyBounded(iconData_.szInfoTitle, balloon.title != nullptr ? balloon.title : "");
        iconData_.uTimeout = balloon.seconds * 1000;
        iconData_.dwInfoFlags = balloon.flags;
    }

    commandWindow_ = iconData_.hWnd;
    hidden_ = hidden;
    if (stateSupport_ && hidden) {
        // Added with its picture, tip and callback, so that showing it later needs only the state.
        iconData_.uFlags |= NIF_STATE;
        iconData_.dwState = NIS_HIDDEN;
        iconData_.dwStateMask = NIS_HIDDEN;
    }
    savedFlags_ = iconData_.uFlags;

    bool result = true;
    if (stateSupport_ || !hidden) {
        result = ::Shell_NotifyIconA(NIM_ADD, &iconData_) != FALSE;
        removed_ = !result;
        addFailed_ = !result;
        hidden_ = hidden || !result;
    }
    if (showBalloon) {
        // Later changes to the icon must not show the balloon again.
        iconData_.szInfo[0] = '\0';
    }
    return result;
}

bool CTrayIcon::SetCommandWindow(HWND window) {
    commandWindow_ = window;
    return true;
}

HWND CTrayIcon::GetCommandWindow() const {
    return commandWindow_ != nullptr ? commandWindow_ : iconData_.hWnd;
}

HICON CTrayIcon::LoadPicture(HINSTANCE instance, UINT iconId) {
    // The small icon size picks the picture drawn for the notification area instead of a
    // scaled-down large one.
    return static_cast<HICON>(::LoadImageA(instance, MAKEINTRESOURCEA(LOWORD(iconId)), IMAGE_ICON,
                                           ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                           LR_SHARED));
}

bool CTrayIcon::SetIconById(UINT iconId) {
    return SetIcon(LoadPicture(instance_, iconId));
}

bool CTrayIcon::SetIcon(HICON icon) {
    if (!shellAvailable_)
        return false;
    iconData_.uFlags = NIF_ICON;
    iconData_.hIcon = icon;
    if (hidden_)
        return true; // used when the icon is added again
    return ::Shell_NotifyIconA(NIM_MODIFY, &iconData_) != FALSE;
}

bool CTrayIcon::AddIcon() {
    if (!removed_)
        DeleteIcon();
    if (shellAvailable_) {
        iconData_.uFlags = kBaseFlags;
        if (::Shell_NotifyIconA(NIM_ADD, &iconData_)) {
            hidden_ = false;
            removed_ = false;
        } else {
            addFailed_ = true;
        }
    }
    return !removed_;
}

bool CTrayIcon::DeleteIcon() {
    addFailed_ = false;
    if (!shellAvailable_ || removed_)
        return true;
    iconData_.uFlags = 0;
    if (::Shell_NotifyIconA(NIM_DELETE, &iconData_)) {
        hidden_ = true;
        removed_ = true;
    }
    return removed_;
}

bool CTrayIcon::ShowIcon() {
    if (removed_)
        return AddIcon();
    if (!hidden_)
        return true;
    if (stateSupport_) {
        iconData_.uFlags = NIF_STATE;
        iconData_.dwState = 0;
        iconData_.dwStateMask = NIS_HIDDEN;
        hidden_ = ::Shell_NotifyIconA(NIM_MODIFY, &iconData_) == FALSE;
    } else {
        hidden_ = !AddIcon();
    }
    return !hidden_;
}

void CTrayIcon::Restore() {
    if (!shellAvailable_ || hidden_)
        return;
    if (removed_ && !addFailed_)
        return; // deleted on purpose
    iconData_.uFlags = savedFlags_;
    bool present = ::Shell_NotifyIconA(NIM_ADD, &iconData_) != FALSE;
    if (!present) {
        // The broadcast also comes while the shell still holds the icon (Wine's never comes, and
        // a test sends it). Adding then fails, but the icon is there: bring it up to date rather
        // than mark it removed, which would leave it behind at exit.
        present = ::Shell_NotifyIconA(NIM_MODIFY, &iconData_) != FALSE;
    }
    removed_ = !present;
    addFailed_ = !present;
}

std::string CTrayIcon::Tip() const {
    return std::string(FieldText(iconData_.szTip));
}

LRESULT CTrayIcon::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == taskbarCreated_) {
        Restore();
        return 0;
    }
    if (message != 0 && message == iconData_.uCallbackMessage)
        return OnTrayNotification(wParam, lParam);
    return MessageWindow::HandleMessage(message, wParam, lParam);
}

LRESULT CTrayIcon::OnTrayNotification(WPARAM wParam, LPARAM lParam) {
    if (wParam != iconData_.uID || GetCommandWindow() == nullptr)
        return 0;
    switch (LOWORD(lParam)) {
    case WM_RBUTTONUP:
        return OpenMenu() ? 1 : 0;
    case WM_LBUTTONDBLCLK:
        return RunDefaultCommand() ? 1 : 0;
    default:
        return 1; // single clicks and moves do nothing
    }
}

HMENU CTrayIcon::LoadTrayMenu(HMENU& popup) const {
    const HMENU menu = ::LoadMenuA(instance_, MAKEINTRESOURCEA(LOWORD(iconData_.uID)));
    popup = menu != nullptr ? ::GetSubMenu(menu, 0) : nullptr;
    return menu;
}

bool CTrayIcon::OpenMenu() {
    HMENU popup;
    UniqueMenu menu(LoadTrayMenu(popup));
    if (popup == nullptr)
        return false;
    ::SetMenuDefaultItem(popup, kDefaultPosition, TRUE);
    POINT cursor{};
    ::GetCursorPos(&cursor);
    // The menu's owner must be the foreground window, or the menu will not close when the user
    // clicks elsewhere.
    ::SetForegroundWindow(Handle());
    const UINT command = static_cast<UINT>(
        ::TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD, cursor.x,
                         cursor.y, 0, Handle(), nullptr));
    // Makes this thread pass through its message loop once more; without it the next click on
    // the icon may open the menu only to close it at once.
    ::PostMessageA(Handle(), WM_NULL, 0, 0);
    // Posted, as a menu posts its choice to its owner: the command may end the program, and must
    // not do so inside this window's handler.
    if (command != 0)
        ::PostMessageA(GetCommandWindow(), WM_COMMAND, MAKEWPARAM(command, 0), 0);
    return true;
}

bool CTrayIcon::RunDefaultCommand() {
    HMENU popup;
    UniqueMenu menu(LoadTrayMenu(popup));
    if (popup == nullptr)
        return false;
    const UINT command = ::GetMenuItemID(popup, kDefaultPosition);
    // The command usually shows the main window; the shell has given this process the right to
    // take the foreground for the click, so use it for that window.
    const HWND commandWindow = GetCommandWindow();
    ::SetForegroundWindow(commandWindow);
    ::SendMessageA(commandWindow, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    return true;
}

} // namespace tovra
