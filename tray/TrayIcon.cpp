#include "tray/TrayIcon.h"

#include "framework/DisplayScale.h"
#include "framework/FixedText.h"

#include <windowsx.h>

namespace tovra {
namespace {

constexpr UINT kBaseFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
// The menu's default item, shown bold and run by a double click: the first ("Show").
constexpr UINT kDefaultPosition = 0;

constexpr UINT_PTR kRetryTimer = 1;
constexpr UINT kFastRetryMs = 2000;
constexpr UINT kSlowRetryMs = 30000;
// Log-on is when the shell is most often missing or busy; after that, a missing tray is rare and
// a slow retry costs nothing.
constexpr DWORD kFastRetryPeriodMs = 2 * 60 * 1000;

// The small icon size at the window's DPI: what the shell draws a notification icon at. Windows
// before 10 (1607) have one DPI for everything, which GetSystemMetrics already reflects.
int SmallIconSize(HWND window) {
    return SystemMetricForDpi(SM_CXSMICON, WindowDpi(window));
}

// True while less than periodMs has passed since that GetTickCount; right across its wrap.
bool Within(DWORD since, DWORD periodMs) {
    return ::GetTickCount() - since < periodMs;
}

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
                       UINT pictureId, UINT id, bool hidden, const TrayBalloon& balloon) {
    if (!shellAvailable_ || HiddenWindow() != nullptr)
        return false;
    if (!MessageWindow::Create(instance, "TrayIconClass"))
        return false;

    instance_ = instance;
    pictureId_ = pictureId;
    iconData_ = {};
    // The 488-byte form that every shell since Windows 2000 reads; the shell ignores what it
    // does not know, and the later fields would only make older shells refuse the call.
    iconData_.cbSize = NOTIFYICONDATAA_V2_SIZE;
    iconData_.hWnd = commandWindow != nullptr ? commandWindow : HiddenWindow();
    iconData_.uID = id;
    iconData_.hIcon = Picture();
    // NIF_SHOWTIP keeps the tip once the shell speaks NOTIFYICON_VERSION_4; older shells ignore it.
    iconData_.uFlags = kBaseFlags | NIF_SHOWTIP;
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
        if (result)
            AskForVersion4();
        else
            RetryLater();
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

HICON CTrayIcon::Picture() {
    const int size = SmallIconSize(Handle());
    if (size != pictureSize_) {
        // Icons of one size each, owned here: LR_SHARED would hand back whichever size was
        // loaded first.
        pictures_.clear();
        pictureSize_ = size;
    }
    auto found = pictures_.find(pictureId_);
    if (found == pictures_.end()) {
        const HANDLE icon =
            ::LoadImageA(instance_, MAKEINTRESOURCEA(LOWORD(pictureId_)), IMAGE_ICON, size, size, 0);
        found = pictures_.emplace(pictureId_, UniqueIcon(static_cast<HICON>(icon))).first;
    }
    return found->second.get();
}

bool CTrayIcon::Modify(UINT flags) {
    iconData_.uFlags = flags;
    if (hidden_ || removed_)
        return shellAvailable_; // used when the icon is added again
    return ::Shell_NotifyIconA(NIM_MODIFY, &iconData_) != FALSE;
}

bool CTrayIcon::SetIconById(UINT iconId) {
    if (!shellAvailable_)
        return false;
    pictureId_ = iconId;
    iconData_.hIcon = Picture();
    return Modify(NIF_ICON);
}

bool CTrayIcon::SetTip(const char* tip) {
    if (!shellAvailable_)
        return false;
    CopyBounded(iconData_.szTip, tip != nullptr ? tip : "");
    return Modify(NIF_TIP | NIF_SHOWTIP);
}

bool CTrayIcon::ShowBalloon(const char* title, const char* text, DWORD flags) {
    if (!shellAvailable_ || !stateSupport_ || hidden_ || removed_)
        return false;
    CopyBounded(iconData_.szInfo, text != nullptr ? text : "");
    CopyBounded(iconData_.szInfoTitle, title != nullptr ? title : "");
    iconData_.uTimeout = 10000;
    iconData_.dwInfoFlags = flags;
    const bool shown = Modify(NIF_INFO);
    if (shown)
        ++balloonsShown_;
    // Later changes to the icon must not show the balloon again.
    iconData_.szInfo[0] = '\0';
    return shown;
}

bool CTrayIcon::AddIcon() {
    if (!removed_)
        DeleteIcon();
    if (shellAvailable_) {
        iconData_.uFlags = kBaseFlags | NIF_SHOWTIP;
        if (::Shell_NotifyIconA(NIM_ADD, &iconData_)) {
            hidden_ = false;
            removed_ = false;
            StopRetrying();
            AskForVersion4();
        } else {
            addFailed_ = true;
            RetryLater();
        }
    }
    return !removed_;
}

bool CTrayIcon::DeleteIcon() {
    StopRetrying();
    // An add reported as failed may have happened after all; a removal makes sure.
    const bool maybePresent = !removed_ || addFailed_;
    addFailed_ = false;
    if (!shellAvailable_ || !maybePresent)
        return true;
    iconData_.uFlags = 0;
    if (::Shell_NotifyIconA(NIM_DELETE, &iconData_) || removed_) {
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
    // A new tray may come with a new DPI.
    iconData_.hIcon = Picture();
    PutBack();
}

bool CTrayIcon::PutBack() {
    iconData_.uFlags = savedFlags_;
    // Modified first: the broadcast also comes while the shell still holds the icon, and a busy
    // shell may have added it after reporting failure. Adding would then fail on an icon that is
    // there, and leave it behind at exit.
    const bool present = ::Shell_NotifyIconA(NIM_MODIFY, &iconData_) != FALSE ||
                         ::Shell_NotifyIconA(NIM_ADD, &iconData_) != FALSE;
    removed_ = !present;
    addFailed_ = !present;
    if (present) {
        StopRetrying();
        AskForVersion4();
    } else {
        RetryLater();
    }
    return present;
}

void CTrayIcon::AskForVersion4() {
    iconData_.uVersion = NOTIFYICON_VERSION_4;
    version4_ = ::Shell_NotifyIconA(NIM_SETVERSION, &iconData_) != FALSE;
    iconData_.uTimeout = 0; // shares its place with uVersion
}

void CTrayIcon::RetryLater() {
    if (retryPeriodMs_ != 0 || Handle() == nullptr)
        return;
    retryingSince_ = ::GetTickCount();
    retryPeriodMs_ = kFastRetryMs;
    ::SetTimer(Handle(), kRetryTimer, retryPeriodMs_, nullptr);
}

void CTrayIcon::StopRetrying() {
    if (retryPeriodMs_ == 0)
        return;
    ::KillTimer(Handle(), kRetryTimer);
    retryPeriodMs_ = 0;
}

void CTrayIcon::OnRetryTimer() {
    if (!removed_ || !addFailed_) {
        StopRetrying();
        return;
    }
    if (PutBack())
        return;
    if (retryPeriodMs_ == kFastRetryMs && !Within(retryingSince_, kFastRetryPeriodMs)) {
        retryPeriodMs_ = kSlowRetryMs;
        ::SetTimer(Handle(), kRetryTimer, retryPeriodMs_, nullptr);
    }
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
    switch (message) {
    case WM_TIMER:
        if (wParam != kRetryTimer)
            break;
        OnRetryTimer();
        return 0;
    case kDpiChangedMessage:
    case WM_DISPLAYCHANGE:
        // The shell draws the icon at the new scale; hand it a picture drawn for it.
        if (pictureSize_ != SmallIconSize(Handle()))
            SetIconById(pictureId_);
        break;
    default:
        break;
    }
    return MessageWindow::HandleMessage(message, wParam, lParam);
}

LRESULT CTrayIcon::OnTrayNotification(WPARAM wParam, LPARAM lParam) {
    // Version 4 puts the icon's identifier beside the event and the icon's place in wParam.
    const UINT id = version4_ ? HIWORD(lParam) : static_cast<UINT>(wParam);
    if (id != iconData_.uID || GetCommandWindow() == nullptr)
        return 0;
    POINT at{GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam)};
    if (!version4_)
        ::GetCursorPos(&at);
    const DWORD now = ::GetTickCount();
    switch (LOWORD(lParam)) {
    case WM_CONTEXTMENU: // right click, the menu key or Shift+F10
        return version4_ && OpenMenu(at) ? 1 : 0;
    case WM_RBUTTONUP: // followed by WM_CONTEXTMENU in version 4
        return version4_ || OpenMenu(at) ? 1 : 0;
    case WM_LBUTTONUP:
        lastMouseUp_ = now;
        return 1;
    case NIN_SELECT:
        // Also sent after a mouse click, which alone does nothing: the double click decides.
        if (Within(lastMouseUp_, ::GetDoubleClickTime()))
            return 1;
        [[fallthrough]];
    case NIN_KEYSELECT:
        // One key press may be reported twice (NIN_KEYSELECT, then NIN_SELECT); the default
        // command shows or hides the main window, so it must run once.
        if (selected_ && Within(lastSelect_, ::GetDoubleClickTime()))
            return 1;
        selected_ = true;
        lastSelect_ = now;
        return RunDefaultCommand() ? 1 : 0;
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

bool CTrayIcon::OpenMenu(POINT at) {
    HMENU popup;
    UniqueMenu menu(LoadTrayMenu(popup));
    if (popup == nullptr)
        return false;
    ::SetMenuDefaultItem(popup, kDefaultPosition, TRUE);
    // The menu's owner must be the foreground window, or the menu will not close when the user
    // clicks elsewhere.
    ::SetForegroundWindow(Handle());
    const UINT align = ::GetSystemMetrics(SM_MENUDROPALIGNMENT) != 0 ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
    const UINT command = static_cast<UINT>(::TrackPopupMenu(
        popup, align | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD, at.x, at.y, 0, Handle(), nullptr));
    // Makes this thread pass through its message loop once more; without it the next click on
    // the icon may open the menu only to close it at once.
    ::PostMessageA(Handle(), WM_NULL, 0, 0);
    if (command == 0) {
        // Dismissed: a keyboard user goes on from the icon, not from wherever focus fell.
        ::Shell_NotifyIconA(NIM_SETFOCUS, &iconData_);
        return true;
    }
    // Posted, as a menu posts its choice to its owner: the command may end the program, and must
    // not do so inside this window's handler.
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
