// The baselines that program_bench measures beside Tovra, in the same Wine and the same run:
//   bench_empty_tray.exe        a hidden window and an icon in the notification area;
//   bench_comparison_tray.exe   the same, plus what Tovra uses of the system: common controls 6
//                               with visual styles (its manifest, and the tab page's theme opened as
//                               Tovra's pages open it), a tab control and a multi-line edit, and
//                               WinINet after one HTTP request (to the URL given as the
//                               argument, through the proxy the environment names).
// Each shows its window's class name, "TovraBenchTray", once it is ready, and ends on WM_CLOSE.

#include "framework/Win32Handles.h"

#include <windows.h>

#ifdef TOVRA_BENCH_COMPARISON
#include <commctrl.h>
#include <uxtheme.h>
#include <wininet.h>
#endif
#include <shellapi.h>

namespace {

constexpr UINT kIconId = 1;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        NOTIFYICONDATAA icon{};
        icon.cbSize = NOTIFYICONDATAA_V2_SIZE;
        icon.hWnd = window;
        icon.uID = kIconId;
        ::Shell_NotifyIconA(NIM_DELETE, &icon);
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

#ifdef TOVRA_BENCH_COMPARISON
// One GET and its whole answer, as a lookup does; the handles are closed, WinINet stays loaded.
void AskOnce(const char* url) {
    using Internet = tovra::UniqueHandle<tovra::NullIsEmpty<HINTERNET, ::InternetCloseHandle>>;
    const Internet session(::InternetOpenA("Tovra", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session)
        return;
    const Internet request(
        ::InternetOpenUrlA(session.get(), url, nullptr, 0, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_UI, 0));
    char page[4096];
    DWORD read = 0;
    while (request && ::InternetReadFile(request.get(), page, sizeof page, &read) && read != 0) {
    }
}

void AddControls(HWND window, HINSTANCE instance) {
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&classes);
    const HWND tabs = ::CreateWindowExA(0, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE, 8, 8, 360, 200, window,
                                        nullptr, instance, nullptr);
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>("Details");
    ::SendMessageA(tabs, TCM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    // Opening the theme maps its file: Tovra's pages do it through EnableThemeDialogTexture.
    ::OpenThemeData(tabs, L"TAB");
    ::CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                      WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 16, 40, 340, 160,
                      window, nullptr, instance, nullptr);
}
#endif

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
#ifdef TOVRA_BENCH_COMPARISON
    AskOnce(commandLine);
#else
    (void)commandLine;
#endif
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "TovraBenchTray";
    ::RegisterClassA(&windowClass);
    // Hidden, as Tovra's windows are until the user opens one.
    const HWND window = ::CreateWindowExA(0, windowClass.lpszClassName, "", WS_OVERLAPPEDWINDOW,
                                          CW_USEDEFAULT, 0, 400, 260, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
#ifdef TOVRA_BENCH_COMPARISON
    AddControls(window, instance);
#endif
    NOTIFYICONDATAA icon{};
    icon.cbSize = NOTIFYICONDATAA_V2_SIZE;
    icon.hWnd = window;
    icon.uID = kIconId;
    icon.uFlags = NIF_ICON | NIF_TIP;
    icon.hIcon = ::LoadIconA(nullptr, IDI_APPLICATION);
    ::lstrcpynA(icon.szTip, "bench", sizeof icon.szTip);
    ::Shell_NotifyIconA(NIM_ADD, &icon);
    ::SetWindowTextA(window, "TovraBenchTray");

    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return 0;
}
