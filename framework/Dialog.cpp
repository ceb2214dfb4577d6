#include "framework/Dialog.h"

#include "framework/DisplayScale.h"

namespace tovra {
namespace {

// The few messages whose result a dialog procedure returns itself; every other result travels
// through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
    switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
        return true;
    default:
        return false;
    }
}

// Posted by a dialog to itself on WM_DPICHANGED, to reach OnDpiChanged after the dialog manager's
// own handling. Registered, so that it never meets a number a dialog uses for its own messages.
UINT DpiFittingMessage() {
    static const UINT message = ::RegisterWindowMessageA("Tovra.Dialog.FitToDpi");
    return message;
}

} // namespace

Dialog::~Dialog() {
    Destroy();
}

bool Dialog::Create(HINSTANCE instance, int templateId, HWND parent) {
    if (Handle())
        return false;
    modal_ = false;
    // The handle is taken at WM_INITDIALOG, so that OnInit() can already reach the controls.
    return ::CreateDialogParamA(instance, MAKEINTRESOURCEA(templateId), parent, &Dialog::DialogProc,
                                reinterpret_cast<LPARAM>(this)) != nullptr;
}

bool Dialog::RegisterDialogClass(HINSTANCE instance, const char* className) noexcept {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = ::DefDlgProcA;
    // The dialog manager keeps its own data in these bytes of every dialog window.
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.lpszClassName = className;
    return ::RegisterClassExA(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

INT_PTR Dialog::DoModal(HINSTANCE instance, int templateId, HWND parent) {
    if (Handle())
        return -1;
    modal_ = true;
    const INT_PTR result = ::DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), parent,
                                             &Dialog::DialogProc, reinterpret_cast<LPARAM>(this));
    modal_ = false;
    return result;
}

void Dialog::Destroy() {
    if (!Handle())
        return;
    if (modal_)
        ::EndDialog(Handle(), IDCANCEL);
    else
        ::DestroyWindow(Handle());
}

void Dialog::EndModal(INT_PTR result) noexcept {
    if (modal_ && Handle())
        ::EndDialog(Handle(), result);
}

bool Dialog::OnCommand(int, int, HWND) {
    return false;
}

bool Dialog::OnNotify(const NMHDR&, LRESULT&) {
    return false;
}

bool Dialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) {
    return false;
}

void Dialog::OnOK() {
    if (modal_)
        EndModal(IDOK);
    else
        Hide();
}

void Dialog::OnCancel() {
    if (modal_)
        EndModal(IDCANCEL);
    else
        Hide();
}

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* dialog = reinterpret_cast<Dialog*>(::GetWindowLongPtrA(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        // Only the first one, from our own CreateDialogParam, carries the object. Any later one
        // was sent by someone else (any program can), with whatever parameter it chose.
        if (dialog)
            return FALSE;
        dialog = reinterpret_cast<Dialog*>(lParam);
        ::SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
        dialog->Attach(window);
    }
    // Messages before WM_INITDIALOG (WM_SETFONT) have no object yet.
    if (!dialog)
        return FALSE;

    INT_PTR result = FALSE;
    try {
        result = dialog->HandleMessage(message, wParam, lParam);
    } catch (...) {
        // The system's dialog code is not ours to unwind; the message counts as unhandled.
        result = FALSE;
    }

    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(window, DWLP_USER, 0);
        dialog->Attach(nullptr);
        if (dialog->quitOnDestroy_)
            ::PostQuitMessage(0);
    }
    return result;
}

INT_PTR Dialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInit() ? TRUE : FALSE;

    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (OnCommand(id, code, reinterpret_cast<HWND>(lParam)))
            return TRUE;
        if (code == BN_CLICKED && id == IDOK) {
            OnOK();
            return TRUE;
        }
        if (code == BN_CLICKED && id == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
        return FALSE;
    }

    case WM_NOTIFY: {
        LRESULT result = 0;
        if (!lParam || !OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result))
            return FALSE;
        ::SetWindowLongPtrA(Handle(), DWLP_MSGRESULT, result);
        return TRUE;
    }

    case WM_DESTROY:
        OnDestroy();
        return FALSE;

    case kDpiChangedMessage:
        // Declined here, the dialog manager scales the window and what the template made.
        ::PostMessageA(Handle(), DpiFittingMessage(), 0, 0);
        return FALSE;

    default: {
        if (message == DpiFittingMessage() && message != 0) {
            OnDpiChanged();
            return TRUE;
        }
        INT_PTR result = 0;
        if (!OnMessage(message, wParam, lParam, result))
            return FALSE;
        if (ReturnsResultDirectly(message))
            return result;
        // A modal box that the hook ran may have ended with the window (the program's Exit).
        if (Handle())
            ::SetWindowLongPtrA(Handle(), DWLP_MSGRESULT, result);
        return TRUE;
    }
    }
}

} // namespace tovra
