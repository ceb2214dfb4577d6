#pragma once
// Base of the program's dialogs and pages, built from dialog resource templates.
//
// One static dialog procedure stores the object at WM_INITDIALOG and forwards each message to a
// small virtual hook. A hook returns true when it has handled the message; false leaves it to the
// dialog manager's default. Every hook is called inside a catch-all: an exception never unwinds
// through the system's dialog code, it only makes the message count as unhandled.
//
// Threads: a dialog belongs to the thread that created it; every member is for that thread.
// Other threads reach it only by having their calls carried to that thread.
//
// Lifetime: the object must outlive its window, and the destructor destroys a window still open.
// Virtual calls do not reach a derived class from the base destructor, so a derived class that
// has work to do in OnDestroy() calls Destroy() in its own destructor.

#include "framework/Window.h"

#include <windows.h>

#include <string>

namespace tovra {

class Dialog : public Window {
public:
    Dialog() noexcept = default;
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Creates the modeless dialog; it shows only if its template says WS_VISIBLE. False when the
    // template is missing or the window cannot be created, or when this object already has one.
    bool Create(HINSTANCE instance, int templateId, HWND parent);

    // Registers a window class that behaves as the system's dialog class, for a template that names
    // a class of its own so that other programs can find its window by class rather than by the
    // "#32770" every message box shares. Call before creating such a dialog; again is harmless.
    static bool RegisterDialogClass(HINSTANCE instance, const char* className) noexcept;

    // Runs the modal dialog and returns the result given to EndModal (IDOK, IDCANCEL, ...), or -1
    // when the dialog could not be created.
    INT_PTR DoModal(HINSTANCE instance, int templateId, HWND parent);

    // Destroys the window if there is one. A modal dialog is ended with IDCANCEL instead.
    void Destroy();

    bool IsModal() const noexcept { return modal_; }

    // Ends a modal dialog with the given result; DoModal returns it.
    void EndModal(INT_PTR result) noexcept;

    // Marks the application's main window: when its window is finally destroyed, the quit message
    // is posted, which ends the application's message loop.
    void SetQuitOnDestroy(bool quit) noexcept { quitOnDestroy_ = quit; }

    // Controls by id.
    HWND Item(int id) const noexcept { return ::GetDlgItem(Handle(), id); }
    std::string ItemText(int id) const { return Window(Item(id)).Text(); }
    bool SetItemText(int id, const std::string& text) const noexcept {
        return ::SetDlgItemTextA(Handle(), id, text.c_str()) != FALSE;
    }
    bool IsChecked(int id) const noexcept { return ::IsDlgButtonChecked(Handle(), id) == BST_CHECKED; }
    void SetChecked(int id, bool checked) const noexcept {
        ::CheckDlgButton(Handle(), id, checked ? BST_CHECKED : BST_UNCHECKED);
    }
    void EnableItem(int id, bool enable) const noexcept { ::EnableWindow(Item(id), enable ? TRUE : FALSE); }
    // Limits the number of characters the user can type into an edit control.
    void LimitItemText(int id, int maxChars) const noexcept {
        ::SendDlgItemMessageA(Handle(), id, EM_LIMITTEXT, static_cast<WPARAM>(maxChars), 0);
    }

protected:
    // WM_INITDIALOG: the controls exist, the dialog is not shown yet. Return true to let the
    // dialog manager put the focus on the first control, false after setting it yourself.
    virtual bool OnInit() { return true; }

    // WM_COMMAND. When this returns false, IDOK and IDCANCEL clicks go to OnOK() and OnCancel().
    virtual bool OnCommand(int id, int code, HWND control);

    // WM_NOTIFY; result is the value the sender receives.
    virtual bool OnNotify(const NMHDR& header, LRESULT& result);

    // Every other message. result is the message's own result (what a window procedure would
    // return); the base puts it where the dialog manager expects it.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

    // The OK and Cancel buttons (Cancel also stands for Escape and the close box). A modal dialog
    // ends with IDOK or IDCANCEL, a modeless one hides.
    virtual void OnOK();
    virtual void OnCancel();

    // WM_DESTROY: the window and its controls still exist.
    virtual void OnDestroy() {}

    // The window has moved to a monitor of another DPI (per-monitor awareness) and the dialog
    // manager has scaled it, its controls and the template's font: what the code placed or drew
    // itself is fitted here.
    virtual void OnDpiChanged() {}

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    bool modal_ = false;
    bool quitOnDestroy_ = false;
};

} // namespace tovra
