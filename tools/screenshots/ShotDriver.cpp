// Drives a running Tovra on its Wine desktop into each state the README pictures, the way a user
// gets there: tray commands, clicks on the taskbar icon, clicks and arrow keys on the tabs. It
// only moves the program and reports where to look; scripts/screenshots.sh takes the pictures.
//
//   shot-driver show                 main window shown and in front
//   shot-driver tab INDEX            that tab of the main window selected (0 Details, 1 Connection,
//                                    2 Advanced, 3 Names)
//   shot-driver add-name             the Names page's Add, a name typed in, the dialog left open
//   shot-driver close-name           that dialog's OK: the name joins the list, unsaved
//   shot-driver wait-log TEXT SECS   waits until the Details log holds TEXT
//   shot-driver about                About box open
//   shot-driver close-about
//   shot-driver tray-menu            tray menu open, from a right click on the taskbar icon
//   shot-driver close-menu
//   shot-driver hide
//   shot-driver exit                 the tray's Exit, as the user ends the program
//   shot-driver measure              what the shown main window makes of the display's scale: its
//                                    DPI awareness and DPI, and the sizes of its parts in pixels
//
// Commands that leave something on screen print its rectangle in desktop pixels as
// "LEFT TOP WIDTH HEIGHT". The driver itself is DPI aware, so that those are the screen's own
// pixels at every scale. Every failure prints one line to stderr and exits 1, so the script
// stops instead of saving a picture of the wrong thing.

#include "resources/LocalPageIds.h"
#include "resources/MainDialogIds.h"
#include "resources/NamesPageIds.h"
#include "resources/SitePageIds.h"
#include "resources/TrayMenuIds.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <utility>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr char kDialogClass[] = "#32770";
constexpr char kMenuClass[] = "#32768";
constexpr char kMainTitle[] = "Tovra";
constexpr char kAboutTitle[] = "About Tovra";
constexpr char kNameTitle[] = "DNS Name";

[[noreturn]] void Fail(const std::string& why) {
    std::fprintf(stderr, "shot-driver: %s\n", why.c_str());
    std::exit(1);
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() >= deadline)
            return condition();
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

struct TopLevelSearch {
    const char* className;
    const char* title; // null: any title
    bool visibleOnly;
    HWND found = nullptr;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<TopLevelSearch*>(parameter);
    if (search->visibleOnly && !::IsWindowVisible(window))
        return TRUE;
    char className[64] = {};
    ::GetClassNameA(window, className, sizeof className);
    if (std::string(className) != search->className)
        return TRUE;
    if (search->title != nullptr) {
        char title[128] = {};
        ::GetWindowTextA(window, title, sizeof title);
        if (std::string(title) != search->title)
            return TRUE;
    }
    search->found = window;
    return FALSE;
}

HWND FindTopLevel(const char* className, const char* title, bool visibleOnly) {
    TopLevelSearch search{className, title, visibleOnly};
    ::EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForTopLevel(const char* className, const char* title, bool visibleOnly, const char* what) {
    HWND found = nullptr;
    if (!WaitUntil([&] { return (found = FindTopLevel(className, title, visibleOnly)) != nullptr; }, 15s))
        Fail(std::string(what) + " did not appear within 15 s");
    return found;
}

HWND MainWindow() {
    return WaitForTopLevel(TOVRA_MAIN_WINDOW_CLASS, kMainTitle, false, "the main window");
}

// The pages are children of the main window, so ids are looked for in the whole tree; the log
// is also told apart by being the multi-line edit, in case a page reuses its number.
struct LogSearch {
    HWND found = nullptr;
};

BOOL CALLBACK MatchLog(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<LogSearch*>(parameter);
    if (::GetDlgCtrlID(window) == IDC_LOCAL_LOG &&
        (::GetWindowLongA(window, GWL_STYLE) & ES_MULTILINE) != 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

void PrintRect(const RECT& rect) {
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    std::fflush(stdout);
}

void PrintWindowRect(HWND window) {
    RECT rect{};
    if (!::GetWindowRect(window, &rect))
        Fail("GetWindowRect failed");
    PrintRect(rect);
}

void SendKey(WORD key) {
    INPUT input[2] = {};
    input[0].type = INPUT_KEYBOARD;
    input[0].ki.wVk = key;
    input[1] = input[0];
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    if (::SendInput(2, input, sizeof(INPUT)) != 2)
        Fail("SendInput refused a key");
}

// Waits out the double-click time first: this click and an earlier one at the same spot (from
// the previous command) would otherwise reach the window as a double click.
void ClickAt(POINT point, bool rightButton) {
    std::this_thread::sleep_for(std::chrono::milliseconds(::GetDoubleClickTime() + 50));
    if (!::SetCursorPos(point.x, point.y))
        Fail("SetCursorPos failed");
    INPUT input[2] = {};
    input[0].type = INPUT_MOUSE;
    input[0].mi.dwFlags = rightButton ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    input[1] = input[0];
    input[1].mi.dwFlags = rightButton ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    if (::SendInput(2, input, sizeof(INPUT)) != 2)
        Fail("SendInput refused a click");
}

// Gives the program's message loop time to paint what the last command changed: a message sent
// to a window returns only once its thread has handled everything posted before it.
void WaitForPaint(HWND window) {
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    std::this_thread::sleep_for(300ms);
    ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
}

// Another process may not take the foreground by asking, so the driver does what a user does:
// a click on the title bar, which activates the window and draws its caption as active.
void BringToFront(HWND window) {
    if (::GetForegroundWindow() == window)
        return;
    RECT rect{};
    ::GetWindowRect(window, &rect);
    ClickAt(POINT{(rect.left + rect.right) / 2,
                  rect.top + ::GetSystemMetrics(SM_CYFIXEDFRAME) + ::GetSystemMetrics(SM_CYCAPTION) / 2},
            false);
    if (!WaitUntil([window] { return ::GetForegroundWindow() == window; }, 5s))
        Fail("the window did not come to the front");
}

// Wine on a virtual desktop without a window manager activates a window from another process
// without telling it to redraw its frame, so an active window keeps an inactive caption. The
// message is the one Windows itself sends on activation; the window is active by then.
void DrawCaptionActive(HWND window) {
    if (::GetForegroundWindow() == window)
        ::SendMessageA(window, WM_NCACTIVATE, TRUE, 0);
}

int Show() {
    const HWND main = MainWindow();
    // The menu's Show/Hide toggles, so it is chosen only while the window is hidden.
    if (!::IsWindowVisible(main))
        ::PostMessageA(main, WM_COMMAND, ID_TRAY_SHOW, 0);
    if (!WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 10s))
        Fail("the main window stayed hidden after Show");
    BringToFront(main);
    DrawCaptionActive(main);
    WaitForPaint(main);
    PrintWindowRect(main);
    return 0;
}

int Hide() {
    const HWND main = MainWindow();
    if (::IsWindowVisible(main))
        ::PostMessageA(main, WM_COMMAND, ID_TRAY_SHOW, 0);
    if (!WaitUntil([&] { return ::IsWindowVisible(main) == FALSE; }, 10s))
        Fail("the main window stayed visible after Hide");
    return 0;
}

// The window that has the keyboard focus in `window`'s thread; asked of the system, since
// GetFocus answers only for the caller's own thread.
HWND FocusIn(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

int SelectTab(int index) {
    const HWND main = MainWindow();
    const HWND tabs = ::GetDlgItem(main, IDC_MAIN_TABS);
    if (!tabs)
        Fail("the main window has no tab control");
    const LRESULT count = ::SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0);
    if (index < 0 || index >= count)
        Fail("there is no tab " + std::to_string(index));
    // A click on the first tab, which sits at the control's top left, gives the control the
    // focus; from there the arrow keys walk the tabs, each step a real selection change as the
    // window sees one from a user. Under load a click can come too early to count, so the focus
    // is checked rather than assumed.
    RECT rect{};
    ::GetWindowRect(tabs, &rect);
    for (int attempt = 0; attempt < 3 && FocusIn(main) != tabs; ++attempt) {
        ClickAt(POINT{rect.left + 12, rect.top + 8}, false);
        WaitUntil([&] { return FocusIn(main) == tabs; }, 5s);
    }
    if (FocusIn(main) != tabs)
        Fail("the tab control did not take the focus from a click");
    const auto selected = [tabs] { return static_cast<int>(::SendMessageA(tabs, TCM_GETCURSEL, 0, 0)); };
    while (selected() != index) {
        const int before = selected();
        SendKey(before < index ? VK_RIGHT : VK_LEFT);
        if (!WaitUntil([&] { return selected() != before; }, 5s))
            Fail("tab " + std::to_string(index) + " could not be selected: the arrow key changed nothing");
    }
    DrawCaptionActive(main);
    WaitForPaint(main);
    PrintWindowRect(main);
    return 0;
}

int WaitForLog(const std::string& text, int seconds) {
    const HWND main = MainWindow();
    // The window exists a moment before its initialisation has made the pages.
    LogSearch search;
    WaitUntil(
        [&] {
            ::EnumChildWindows(main, MatchLog, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        10s);
    if (!search.found)
        Fail("the main window has no log box");
    std::string log;
    const bool seen = WaitUntil(
        [&] {
            // WM_GETTEXT itself: GetWindowText gives only the creation text of another
            // process's control.
            const auto length = ::SendMessageA(search.found, WM_GETTEXTLENGTH, 0, 0);
            log.assign(static_cast<size_t>(length) + 1, '\0');
            log.resize(
                static_cast<size_t>(::SendMessageA(search.found, WM_GETTEXT, static_cast<WPARAM>(length + 1),
                                                   reinterpret_cast<LPARAM>(log.data()))));
            return log.find(text) != std::string::npos;
        },
        std::chrono::seconds(seconds));
    if (!seen)
        Fail("the log never showed \"" + text + "\"; it holds:\n" + log);
    return 0;
}

int OpenAbout() {
    const HWND main = MainWindow();
    ::PostMessageA(main, WM_COMMAND, ID_TRAY_ABOUT, 0);
    const HWND about = WaitForTopLevel(kDialogClass, kAboutTitle, true, "the About box");
    BringToFront(about);
    DrawCaptionActive(about);
    WaitForPaint(about);
    PrintWindowRect(about);
    return 0;
}

int CloseAbout() {
    const HWND about = FindTopLevel(kDialogClass, kAboutTitle, false);
    if (!about)
        return 0;
    ::PostMessageA(about, WM_COMMAND, IDOK, 0);
    if (!WaitUntil([&] { return !::IsWindow(about); }, 10s))
        Fail("the About box did not close");
    return 0;
}

int OpenTrayMenu() {
    const HWND taskbar = WaitForTopLevel("Shell_TrayWnd", nullptr, true, "the taskbar");
    // Wine's taskbar draws the notification icons itself, right-aligned, each in a small-icon
    // square with a 2-pixel border, and ours is the only one on this desktop. A click that
    // missed would open no menu, and the wait below would say so.
    RECT bar{};
    ::GetWindowRect(taskbar, &bar);
    const int slot = ::GetSystemMetrics(SM_CXSMICON) + 4;
    const RECT icon{bar.right - slot, bar.top, bar.right, bar.bottom};
    ClickAt(POINT{(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2}, true);
    const HWND menu = WaitForTopLevel(kMenuClass, nullptr, true, "the tray menu");
    WaitForPaint(menu);
    // The menu together with the icon it came from and a little of the taskbar and desktop
    // around them, so the picture shows where it belongs.
    RECT shown{};
    ::GetWindowRect(menu, &shown);
    ::UnionRect(&shown, &shown, &icon);
    shown.left = std::max(bar.left, shown.left - 96);
    shown.top = std::max(0L, shown.top - 16);
    PrintRect(shown);
    return 0;
}

int CloseMenu() {
    if (!FindTopLevel(kMenuClass, nullptr, true))
        return 0;
    SendKey(VK_ESCAPE);
    if (!WaitUntil([] { return FindTopLevel(kMenuClass, nullptr, true) == nullptr; }, 5s))
        Fail("the tray menu did not close");
    return 0;
}

// Per-monitor functions of Windows 10, looked up so that the driver also runs where they are absent.
template <typename Function> Function User32(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleA("user32.dll"), name)));
}

void BecomeDpiAware() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    if (const auto set = User32<SetContext>("SetProcessDpiAwarenessContext"))
        if (set(reinterpret_cast<HANDLE>(-4))) // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
            return;
    ::SetProcessDPIAware();
}

struct PageSearch {
    HWND pages[8] = {};
    int count = 0;
};

BOOL CALLBACK CollectPage(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<PageSearch*>(parameter);
    char className[64] = {};
    ::GetClassNameA(window, className, sizeof className);
    if (std::string(className) == kDialogClass && search->count < 8)
        search->pages[search->count++] = window;
    return TRUE;
}

struct Overflow {
    RECT bounds;
    int clipped = 0;
};

BOOL CALLBACK CountClipped(HWND window, LPARAM parameter) {
    auto* overflow = reinterpret_cast<Overflow*>(parameter);
    RECT rect{};
    ::GetWindowRect(window, &rect);
    if (rect.left < overflow->bounds.left || rect.top < overflow->bounds.top ||
        rect.right > overflow->bounds.right || rect.bottom > overflow->bounds.bottom)
        ++overflow->clipped;
    return TRUE;
}

SIZE SizeOf(const RECT& rect) {
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

int Measure() {
    const HWND main = MainWindow();
    using GetContext = HANDLE(WINAPI*)(HWND);
    using GetAwareness = int(WINAPI*)(HANDLE);
    using GetDpi = UINT(WINAPI*)(HWND);
    const auto context = User32<GetContext>("GetWindowDpiAwarenessContext");
    const auto awareness = User32<GetAwareness>("GetAwarenessFromDpiAwarenessContext");
    const auto dpi = User32<GetDpi>("GetDpiForWindow");
    const HDC screen = ::GetDC(nullptr);
    std::printf("screen dpi %d; main window: awareness %d (0 unaware, 1 system, 2 per monitor), dpi %u\n",
                ::GetDeviceCaps(screen, LOGPIXELSY), context && awareness ? awareness(context(main)) : -1,
                dpi ? dpi(main) : 0u);
    ::ReleaseDC(nullptr, screen);

    RECT window{}, client{}, tabs{};
    ::GetWindowRect(main, &window);
    ::GetClientRect(main, &client);
    ::GetWindowRect(::GetDlgItem(main, IDC_MAIN_TABS), &tabs);
    std::printf("main window %ldx%ld, client %ldx%ld, tab control %ldx%ld\n", SizeOf(window).cx,
                SizeOf(window).cy, client.right, client.bottom, SizeOf(tabs).cx, SizeOf(tabs).cy);

    PageSearch pages;
    ::EnumChildWindows(main, CollectPage, reinterpret_cast<LPARAM>(&pages));
    for (int i = 0; i < pages.count; ++i) {
        RECT page{};
        ::GetWindowRect(pages.pages[i], &page);
        Overflow overflow{page};
        ::EnumChildWindows(pages.pages[i], CountClipped, reinterpret_cast<LPARAM>(&overflow));
        const char* name = ::GetDlgItem(pages.pages[i], IDC_LOCAL_LOG)      ? "Details"
                           : ::GetDlgItem(pages.pages[i], IDC_SITE_ADDRESS) ? "Connection"
                           : ::GetDlgItem(pages.pages[i], IDC_NAME_LIST)    ? "Names"
                                                                            : "Advanced";
        std::printf("%s page: %ldx%ld at +%ld+%ld in the tab control, %ld px past its right, %ld px past its "
                    "bottom, %d controls cut off by the page\n",
                    name, SizeOf(page).cx, SizeOf(page).cy, page.left - tabs.left, page.top - tabs.top,
                    std::max(0L, page.right - tabs.right), std::max(0L, page.bottom - tabs.bottom),
                    overflow.clipped);
    }
    for (HWND child = ::GetWindow(main, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if ((::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) {
            RECT banner{};
            ::GetWindowRect(child, &banner);
            std::printf("banner %ldx%ld beside a client %ld high\n", SizeOf(banner).cx, SizeOf(banner).cy,
                        client.bottom);
        }
    return 0;
}

HWND NamesPage(HWND main) {
    PageSearch pages;
    ::EnumChildWindows(main, CollectPage, reinterpret_cast<LPARAM>(&pages));
    for (int i = 0; i < pages.count; ++i)
        if (::GetDlgItem(pages.pages[i], IDC_NAME_LIST))
            return pages.pages[i];
    Fail("the main window has no Names page");
}

int OpenNameForm() {
    const HWND page = NamesPage(MainWindow());
    const HWND add = ::GetDlgItem(page, IDC_NAME_ADD);
    ::PostMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_NAME_ADD, BN_CLICKED), reinterpret_cast<LPARAM>(add));
    const HWND form = WaitForTopLevel(kDialogClass, kNameTitle, true, "the DNS Name dialog");
    // The first provider of the list, chosen as a click in the list would (CB_SETCURSEL alone
    // does not tell the dialog).
    const HWND services = ::GetDlgItem(form, IDC_NAME_SERVICE);
    ::SendMessageA(services, CB_SETCURSEL, 0, 0);
    ::SendMessageA(form, WM_COMMAND, MAKEWPARAM(IDC_NAME_SERVICE, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(services));
    // WM_SETTEXT is one of the messages the system carries across processes with its text; the
    // edits tell the dialog of each change, as typing would.
    const std::pair<int, const char*> typed[] = {{IDC_NAME_HOST, "homepc.example.net"},
                                                 {IDC_NAME_ACCOUNT, "homepc"},
                                                 {IDC_NAME_SECRET, "k7-rainy-orchard"}};
    for (const auto& [id, text] : typed)
        ::SendMessageA(::GetDlgItem(form, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    BringToFront(form);
    DrawCaptionActive(form);
    WaitForPaint(form);
    PrintWindowRect(form);
    return 0;
}

int CloseNameForm() {
    const HWND form = FindTopLevel(kDialogClass, kNameTitle, false);
    if (!form)
        Fail("no DNS Name dialog is open");
    if (!::IsWindowEnabled(::GetDlgItem(form, IDOK)))
        Fail("the DNS Name dialog does not take the name it was given");
    ::PostMessageA(form, WM_COMMAND, IDOK, 0);
    if (!WaitUntil([&] { return !::IsWindow(form); }, 10s))
        Fail("the DNS Name dialog did not close");
    return 0;
}

int Exit() {
    const HWND main = FindTopLevel(TOVRA_MAIN_WINDOW_CLASS, kMainTitle, false);
    if (main)
        ::PostMessageA(main, WM_COMMAND, ID_TRAY_EXIT, 0);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    BecomeDpiAware();
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "show" && argc == 2)
        return Show();
    if (command == "hide" && argc == 2)
        return Hide();
    if (command == "tab" && argc == 3)
        return SelectTab(std::atoi(argv[2]));
    if (command == "wait-log" && argc == 4)
        return WaitForLog(argv[2], std::atoi(argv[3]));
    if (command == "about" && argc == 2)
        return OpenAbout();
    if (command == "close-about" && argc == 2)
        return CloseAbout();
    if (command == "tray-menu" && argc == 2)
        return OpenTrayMenu();
    if (command == "close-menu" && argc == 2)
        return CloseMenu();
    if (command == "add-name" && argc == 2)
        return OpenNameForm();
    if (command == "close-name" && argc == 2)
        return CloseNameForm();
    if (command == "exit" && argc == 2)
        return Exit();
    if (command == "measure" && argc == 2)
        return Measure();
    Fail("usage: shot-driver show|hide|tab INDEX|wait-log TEXT SECONDS|about|close-about|tray-menu|"
         "close-menu|add-name|close-name|exit|measure");
}
