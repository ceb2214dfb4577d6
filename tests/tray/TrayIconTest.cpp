// The tray icon against Wine's real notification area: what the user sees (the icon present or
// not, its picture on screen), what the menu offers and what reaches the main window.

#include "tray/TrayIcon.h"

#include "resources/ResourceIds.h"
#include "resources/TrayMenuIds.h"
#include "tests/support/MessagePump.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <commctrl.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

using tovra::CTrayIcon;
using tovra::test::PumpUntil;

constexpr UINT kCallback = 0x800A;
constexpr UINT kIconId = IDR_TRAY_MENU; // the icon's identifier names its menu

HINSTANCE Instance() {
    return ::GetModuleHandleA(nullptr);
}

// Asks the shell whether it holds the icon: only an icon it holds can be modified.
bool IconPresent(HWND owner, UINT id) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = owner;
    data.uID = id;
    return ::Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

// What the shell does at a restart: it forgets the icon without telling its owner.
void ForgetIconAsARestartedShellWould(HWND owner, UINT id) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = owner;
    data.uID = id;
    ::Shell_NotifyIconA(NIM_DELETE, &data);
}

// The pixels of Wine's tray window on screen that are close to the given colour: how many, and
// where their middle lies.
struct ColourOnTray {
    int count = 0;
    POINT middle{};
};

ColourOnTray LookForColourOnTray(COLORREF colour) {
    ColourOnTray found;
    const HWND tray = ::FindWindowA(nullptr, "Wine System Tray");
    if (tray == nullptr)
        return found;
    RECT area{};
    ::GetWindowRect(tray, &area);
    const int width = area.right - area.left, height = area.bottom - area.top;

    // One copy of the screen area, read as top-down 32-bit pixels (0x00RRGGBB).
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HDC screen = ::GetDC(nullptr);
    const HDC copy = ::CreateCompatibleDC(screen);
    const HBITMAP bitmap = ::CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = ::SelectObject(copy, bitmap);
    ::BitBlt(copy, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    ::GdiFlush();

    long sumX = 0, sumY = 0;
    const auto* pixels = static_cast<const DWORD*>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const DWORD pixel = pixels[y * width + x];
            const int distance = std::abs(static_cast<int>((pixel >> 16) & 0xFF) - GetRValue(colour)) +
                                 std::abs(static_cast<int>((pixel >> 8) & 0xFF) - GetGValue(colour)) +
                                 std::abs(static_cast<int>(pixel & 0xFF) - GetBValue(colour));
            if (distance < 60) {
                sumX += area.left + x;
                sumY += area.top + y;
                ++found.count;
            }
        }
    ::SelectObject(copy, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(copy);
    ::ReleaseDC(nullptr, screen);
    if (found.count > 0)
        found.middle = POINT{sumX / found.count, sumY / found.count};
    return found;
}

int TrayPixelsLike(COLORREF colour) {
    return LookForColourOnTray(colour).count;
}

// Where the icon of that colour is on screen, once it shows.
bool FindOnTray(COLORREF colour, POINT& where) {
    const ColourOnTray found = LookForColourOnTray(colour);
    where = found.middle;
    return found.count >= 20;
}

// Clicks the mouse at that point of the screen, as the user's hand would; the buttons are given
// as MOUSEEVENTF_ flags, pressed and released in that order.
void ClickAt(POINT where, std::initializer_list<DWORD> buttons) {
    ::SetCursorPos(where.x, where.y);
    std::vector<INPUT> clicks;
    for (DWORD button : buttons) {
        INPUT click{};
        click.type = INPUT_MOUSE;
        click.mi.dwFlags = button;
        clicks.push_back(click);
    }
    ::SendInput(static_cast<UINT>(clicks.size()), clicks.data(), sizeof(INPUT));
}

// The main colours of the two pictures.
constexpr COLORREF kNormalBlue = RGB(0x2F, 0x80, 0xE8);
constexpr COLORREF kBusyAmber = RGB(0xF5, 0xA1, 0x1C);

// Stands in for the main window: records the commands it receives.
class CommandWindow : public tovra::MessageWindow {
public:
    CommandWindow() { EXPECT_TRUE(Create(Instance(), "TovraTestCommandWindow")); }
    ~CommandWindow() override { Destroy(); }

    std::vector<UINT> commands;
    // Handles every message already posted to this window: a command that was going to arrive
    // has then arrived.
    bool Drain() {
        sentinelSeen_ = false;
        ::PostMessageA(Handle(), kSentinel, 0, 0);
        return PumpUntil([this] { return sentinelSeen_; });
    }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_COMMAND:
            commands.push_back(LOWORD(wParam));
            return 0;
        case kSentinel:
            sentinelSeen_ = true;
            return 0;
        default:
            return MessageWindow::HandleMessage(message, wParam, lParam);
        }
    }

private:
    static constexpr UINT kSentinel = WM_APP + 1;
    bool sentinelSeen_ = false;
};

// The user in front of the tray menu: watches the menu's owner (the tray's hidden window) for the
// menu, records what it showed, and answers it once it is idle.
class MenuUser {
public:
    struct MenuItem {
        UINT command; // 0 for a separator
        std::string text;
        bool isDefault;
    };

    explicit MenuUser(HWND owner) : owner_(owner) {
        ::SetWindowSubclass(owner_, &Watch, 0, reinterpret_cast<DWORD_PTR>(this));
    }
    ~MenuUser() { ::RemoveWindowSubclass(owner_, &Watch, 0); }
    MenuUser(const MenuUser&) = delete;
    MenuUser& operator=(const MenuUser&) = delete;

    // Typed into the menu once it is idle: the mnemonic of the item to choose, or 0 for Escape.
    char answer = 'x';
    // Runs while the menu is open and waiting for the user.
    std::function<void()> whileMenuOpen;

    std::vector<MenuItem> menuShown;
    int menusOpened = 0;
    RECT menuRect{}; // where the menu was on screen
    // The menu did not close on the answer and was ended by force.
    bool menuStuck = false;

private:
    static LRESULT CALLBACK Watch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR self) {
        reinterpret_cast<MenuUser*>(self)->Observe(message, wParam, lParam);
        if (message == WM_TIMER && wParam == kStuckMenuTimer)
            return 0;
        return ::DefSubclassProc(window, message, wParam, lParam);
    }

    void Observe(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_INITMENUPOPUP:
            ++menusOpened;
            answered_ = false;
            menuShown = Describe(reinterpret_cast<HMENU>(wParam));
            // A menu that ignores its answer would hang the test; end it instead.
            ::SetTimer(owner_, kStuckMenuTimer, 3000, nullptr);
            break;
        case WM_TIMER:
            if (wParam == kStuckMenuTimer) {
                ::KillTimer(owner_, kStuckMenuTimer);
                menuStuck = true;
                ::EndMenu();
            }
            break;
        case WM_EXITMENULOOP:
            ::KillTimer(owner_, kStuckMenuTimer);
            break;
        case WM_ENTERIDLE:
            if (wParam == MSGF_MENU && !answered_) {
                answered_ = true;
                const HWND menu = reinterpret_cast<HWND>(lParam);
                ::GetWindowRect(menu, &menuRect);
                if (whileMenuOpen)
                    whileMenuOpen();
                if (answer != 0)
                    ::PostMessageA(menu, WM_CHAR, static_cast<WPARAM>(answer), 0);
                else
                    ::PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
            }
            break;
        default:
            break;
        }
    }

    static std::vector<MenuItem> Describe(HMENU menu) {
        std::vector<MenuItem> items;
        for (int position = 0; position < ::GetMenuItemCount(menu); ++position) {
            char text[64] = {};
            MENUITEMINFOA info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_STRING;
            info.dwTypeData = text;
            info.cch = sizeof text;
            ::GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &info);
            const bool separator = (info.fType & MFT_SEPARATOR) != 0;
            items.push_back({separator ? 0 : info.wID, text, (info.fState & MFS_DEFAULT) != 0});
        }
        return items;
    }

    static constexpr UINT_PTR kStuckMenuTimer = 0x7E57;
    const HWND owner_;
    bool answered_ = false;
};

class TrayIconTest : public ::testing::Test {
protected:
    void CreateIcon(const char* tip = "Tovra") {
        ASSERT_TRUE(tray_.Create(Instance(), nullptr, kCallback, tip, IDI_TRAY_NORMAL, kIconId, false));
    }
    // The icon's owner in the shell: the hidden window, as no command window was given.
    HWND Owner() const { return tray_.HiddenWindow(); }

    // A notification from the shell about the icon at that place on screen, in the form the icon
    // asked for.
    LRESULT Notify(UINT event, UINT id = kIconId, POINT at = kIconPlace) {
        if (tray_.KeyboardAware())
            return ::SendMessageA(Owner(), kCallback, MAKEWPARAM(at.x, at.y), MAKELPARAM(event, id));
        return ::SendMessageA(Owner(), kCallback, id, event);
    }
    static constexpr POINT kIconPlace{300, 200};

    CTrayIcon tray_;
};

TEST_F(TrayIconTest, CreateAddsTheIconAndDestructionRemovesIt) {
    HWND owner;
    {
        CTrayIcon tray;
        ASSERT_TRUE(tray.Create(Instance(), nullptr, kCallback, "Tovra", IDI_TRAY_NORMAL, kIconId, false));
        owner = tray.HiddenWindow();
        EXPECT_TRUE(IconPresent(owner, kIconId));
        EXPECT_FALSE(tray.IsHidden());
        EXPECT_FALSE(tray.IsRemoved());
    }
    EXPECT_FALSE(IconPresent(owner, kIconId));
    EXPECT_FALSE(::IsWindow(owner));
}

TEST_F(TrayIconTest, TipLongerThanTheShellTakesIsCutTo127Characters) {
    const std::string tip(200, 'T');
    CreateIcon(tip.c_str());
    EXPECT_EQ(tray_.Tip(), std::string(127, 'T'));
}

TEST_F(TrayIconTest, RightClickOpensTheMenuWithShowInBoldAndDeliversTheChoice) {
    CreateIcon();
    CommandWindow main;
    ASSERT_TRUE(tray_.SetCommandWindow(main.Handle()));
    MenuUser user(Owner());
    user.answer = 'x';

    // What the shell sends for a right click: the menu opens once.
    EXPECT_EQ(Notify(WM_RBUTTONUP), 1);
    if (tray_.KeyboardAware()) {
        EXPECT_EQ(Notify(WM_CONTEXTMENU), 1);
    }

    ASSERT_EQ(user.menusOpened, 1);
    EXPECT_FALSE(user.menuStuck);
    const std::vector<std::pair<UINT, std::string>> expected{
        {ID_TRAY_SHOW, "Show &Tovra"}, {ID_TRAY_POST_NOW, "&Post IP now"}, {0, ""},
        {ID_TRAY_HELP, "&Help"},       {ID_TRAY_ABOUT, "&About"},          {0, ""},
        {ID_TRAY_EXIT, "E&xit"}};
    ASSERT_EQ(user.menuShown.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(user.menuShown[i].command, expected[i].first) << "position " << i;
        EXPECT_EQ(user.menuShown[i].text, expected[i].second) << "position " << i;
        EXPECT_EQ(user.menuShown[i].isDefault, i == 0) << "position " << i;
    }
    // The chosen command reaches the main window, though the menu belongs to the tray's window.
    EXPECT_TRUE(PumpUntil([&] { return !main.commands.empty(); }));
    EXPECT_EQ(main.commands, std::vector<UINT>{ID_TRAY_EXIT});
}

// The whole way a user takes: the click lands on the shell's icon, which tells the hidden window.
TEST_F(TrayIconTest, RightClickOnTheIconOnScreenOpensTheMenu) {
    CreateIcon();
    CommandWindow main;
    tray_.SetCommandWindow(main.Handle());
    MenuUser user(Owner());
    user.answer = 'p';
    POINT icon{};
    ASSERT_TRUE(PumpUntil([&] { return FindOnTray(kNormalBlue, icon); }));

    ClickAt(icon, {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP});

    EXPECT_TRUE(PumpUntil([&] { return !main.commands.empty(); }));
    EXPECT_EQ(user.menusOpened, 1);
    EXPECT_FALSE(user.menuStuck);
    EXPECT_EQ(main.commands, std::vector<UINT>{ID_TRAY_POST_NOW});
}

TEST_F(TrayIconTest, DoubleClickOnTheIconOnScreenRunsTheDefaultCommand) {
    CreateIcon();
    CommandWindow main;
    tray_.SetCommandWindow(main.Handle());
    MenuUser user(Owner());
    POINT icon{};
    ASSERT_TRUE(PumpUntil([&] { return FindOnTray(kNormalBlue, icon); }));

    ClickAt(icon, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});

    EXPECT_TRUE(PumpUntil([&] { return !main.commands.empty(); }));
    EXPECT_EQ(user.menusOpened, 0);
    EXPECT_EQ(main.commands, std::vector<UINT>{ID_TRAY_SHOW});
}

// The shell tells the icon's window about the mouse over it while the UI thread waits inside its
// own call to the shell; that must neither deadlock nor lose the notification.
TEST_F(TrayIconTest, PictureChangesWithTheMouseOverTheIconNeitherHangNorLoseClicks) {
    CreateIcon();
    CommandWindow main;
    tray_.SetCommandWindow(main.Handle());
    POINT icon{};
    ASSERT_TRUE(PumpUntil([&] { return FindOnTray(kNormalBlue, icon); }));
    ::SetCursorPos(icon.x, icon.y);

    for (int change = 0; change < 40; ++change) {
        ClickAt(icon, {MOUSEEVENTF_MOVE});
        EXPECT_TRUE(tray_.SetIconById(change % 2 == 0 ? IDI_TRAY_BUSY : IDI_TRAY_NORMAL));
    }
    ClickAt(icon, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});

    EXPECT_TRUE(PumpUntil([&] { return !main.commands.empty(); }));
    EXPECT_EQ(main.commands, std::vector<UINT>{ID_TRAY_SHOW});
}

// The checker's busy picture arrives on the window thread, also while the menu's loop runs there.
// The menu must close as usual, and leave neither the foreground nor the keyboard to the main
// window, which is hidden: a hidden dialog in the foreground would take the keys typed next.
TEST_F(TrayIconTest, MenuClosedWithoutAChoiceLeavesTheHiddenMainWindowInTheBackground) {
    CreateIcon();
    CommandWindow main;
    tray_.SetCommandWindow(main.Handle());
    MenuUser user(Owner());
    bool switched = false;
    user.answer = 0; // Escape: close without a choice
    user.whileMenuOpen = [&] { switched = tray_.SetIconById(IDI_TRAY_BUSY); };

    Notify(tray_.KeyboardAware() ? WM_CONTEXTMENU : WM_RBUTTONUP);

    EXPECT_EQ(user.menusOpened, 1);
    EXPECT_FALSE(user.menuStuck);
    EXPECT_TRUE(switched);
    ASSERT_TRUE(main.Drain());
    EXPECT_TRUE(main.commands.empty());
    EXPECT_NE(::GetForegroundWindow(), main.Handle());
    EXPECT_NE(::GetFocus(), main.Handle());
}

TEST_F(TrayIconTest, DoubleClickDeliversTheDefaultCommandBeforeItReturns) {
    CreateIcon();
    CommandWindow main;
    tray_.SetCommandWindow(main.Handle());

    EXPECT_EQ(Notify(WM_LBUTTONDBLCLK), 1);

    EXPECT_EQ(main.commands, std::vector<UINT>{ID_TRAY_SHOW});
}

TEST_F(TrayIconTest, SingleClicksMovesAndOtherIconsDoNothing) {
    CreateIcon();
    CommandWindow main;
    tray_.SetCommandWindow(main.Handle());
    MenuUser user(Owner());

    // A single click, as the shell reports it: the selection it ends with is the mouse's.
    for (UINT mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT, WM_RBUTTONDOWN, WM_MOUSEMOVE})
        EXPECT_EQ(Notify(mouse), 1) << mouse;
    EXPECT_EQ(Notify(WM_CONTEXTMENU, kIconId + 1), 0);
    EXPECT_EQ(Notify(NIN_KEYSELECT, kIconId + 1), 0);
    EXPECT_EQ(Notify(WM_LBUTTONDBLCLK, kIconId + 1), 0);

    ASSERT_TRUE(main.Drain());
    EXPECT_EQ(user.menusOpened, 0);
    EXPECT_TRUE(main.commands.empty());
}

TEST_F(TrayIconTest, CommandsBeforeTheMainWindowNamesItselfAreIgnored) {
    CreateIcon();
    CommandWindow main;

    EXPECT_EQ(tray_.GetCommandWindow(), tray_.HiddenWindow());
    Notify(WM_LBUTTONDBLCLK);
    ASSERT_TRUE(main.Drain());
    EXPECT_TRUE(main.commands.empty());
    EXPECT_TRUE(IconPresent(Owner(), kIconId));

    tray_.SetCommandWindow(main.Handle());
    Notify(WM_LBUTTONDBLCLK);
    EXPECT_EQ(main.commands, std::vector<UINT>{ID_TRAY_SHOW});
}

TEST_F(TrayIconTest, BusyAndNormalPicturesShowInTheTray) {
    CreateIcon();
    EXPECT_TRUE(PumpUntil([] { return TrayPixelsLike(kNormalBlue) > 20; }));

    ASSERT_TRUE(tray_.SetIconById(IDI_TRAY_BUSY));
    EXPECT_TRUE(
        PumpUntil([] { return TrayPixelsLike(kBusyAmber) > 20 && TrayPixelsLike(kNormalBlue) == 0; }));

    ASSERT_TRUE(tray_.SetIconById(IDI_TRAY_NORMAL));
    EXPECT_TRUE(
        PumpUntil([] { return TrayPixelsLike(kNormalBlue) > 20 && TrayPixelsLike(kBusyAmber) == 0; }));
}

TEST_F(TrayIconTest, TaskbarCreatedAddsTheIconBackWithTheLastPicture) {
    CreateIcon();
    ASSERT_TRUE(tray_.SetIconById(IDI_TRAY_BUSY));
    ForgetIconAsARestartedShellWould(Owner(), kIconId);
    ASSERT_TRUE(PumpUntil([] { return TrayPixelsLike(kBusyAmber) == 0; }));

    ::SendMessageA(Owner(), ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);

    EXPECT_TRUE(IconPresent(Owner(), kIconId));
    EXPECT_FALSE(tray_.IsRemoved());
    EXPECT_TRUE(PumpUntil([] { return TrayPixelsLike(kBusyAmber) > 20; }));
}

// The broadcast can come while the shell still holds the icon; the icon must still go at exit.
TEST_F(TrayIconTest, TaskbarCreatedWhileTheIconIsStillThereKeepsItRemovable) {
    HWND owner;
    {
        CTrayIcon tray;
        ASSERT_TRUE(tray.Create(Instance(), nullptr, kCallback, "Tovra", IDI_TRAY_NORMAL, kIconId, false));
        owner = tray.HiddenWindow();
        ::SendMessageA(owner, ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);
        EXPECT_TRUE(IconPresent(owner, kIconId));
        EXPECT_FALSE(tray.IsRemoved());
    }
    EXPECT_FALSE(IconPresent(owner, kIconId));
}

TEST_F(TrayIconTest, DeletedIconStaysOutWhenTheTaskbarIsRebuilt) {
    CreateIcon();
    ASSERT_TRUE(tray_.DeleteIcon());
    EXPECT_FALSE(IconPresent(Owner(), kIconId));

    ::SendMessageA(Owner(), ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);

    EXPECT_FALSE(IconPresent(Owner(), kIconId));
    EXPECT_TRUE(tray_.IsRemoved());
    // Showing it again adds it back.
    EXPECT_TRUE(tray_.ShowIcon());
    EXPECT_TRUE(IconPresent(Owner(), kIconId));
}

// An icon created hidden keeps its picture, tip and callback for when it is shown.
TEST_F(TrayIconTest, IconCreatedHiddenAnswersClicksOnceShown) {
    ASSERT_TRUE(tray_.Create(Instance(), nullptr, kCallback, "Tovra", IDI_TRAY_NORMAL, kIconId, true));
    EXPECT_TRUE(tray_.IsHidden());
    ::SendMessageA(Owner(), ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(tray_.IsHidden());

    ASSERT_TRUE(tray_.ShowIcon());
    EXPECT_FALSE(tray_.IsHidden());
    EXPECT_TRUE(PumpUntil([] { return TrayPixelsLike(kNormalBlue) > 20; }));
}

// Win+B and the arrows put the focus on the icon; Enter, Space, the menu key and Shift+F10 then
// reach the program as these notifications.
TEST_F(TrayIconTest, KeyboardRunsTheDefaultCommandOncePerKeyAndOpensTheMenuAtTheIcon) {
    CreateIcon();
    ASSERT_TRUE(tray_.KeyboardAware());
    CommandWindow main;
    tray_.SetCommandWindow(main.Handle());
    MenuUser user(Owner());
    user.answer = 0;

    // Enter, as some shells report it: twice. The command shows or hides the window: once.
    EXPECT_EQ(Notify(NIN_KEYSELECT), 1);
    EXPECT_EQ(Notify(NIN_SELECT), 1);
    EXPECT_EQ(main.commands, std::vector<UINT>{ID_TRAY_SHOW});

    // The menu key: the menu opens where the shell says the icon is, not at the mouse.
    ::SetCursorPos(5, 5);
    EXPECT_EQ(Notify(WM_CONTEXTMENU), 1);
    ASSERT_EQ(user.menusOpened, 1);
    EXPECT_EQ(user.menuRect.left, kIconPlace.x);
    EXPECT_EQ(user.menuRect.top, kIconPlace.y);
    ASSERT_TRUE(main.Drain());
    EXPECT_EQ(main.commands, std::vector<UINT>{ID_TRAY_SHOW});
}

// A window that the shell's calls reach before the real tray, as a tray that is not up yet at
// log-on or too busy to answer: it refuses every call. With addLate it hands each call on to the
// real tray first, as a busy shell that adds the icon after its caller has given up.
class RefusingTray {
public:
    explicit RefusingTray(bool addLate) : real_(::FindWindowA("Shell_TrayWnd", nullptr)), addLate_(addLate) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &Answer;
        windowClass.hInstance = Instance();
        windowClass.lpszClassName = "Shell_TrayWnd";
        ::RegisterClassA(&windowClass);
        // Topmost, to come before the real tray in the shell's search.
        window_ = ::CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "Shell_TrayWnd", "", WS_POPUP, 0, 0, 0,
                                    0, nullptr, nullptr, Instance(), nullptr);
        ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~RefusingTray() { Leave(); }
    RefusingTray(const RefusingTray&) = delete;
    RefusingTray& operator=(const RefusingTray&) = delete;

    // The real tray answers from now on.
    void Leave() {
        if (window_ != nullptr)
            ::DestroyWindow(window_);
        window_ = nullptr;
    }
    int calls = 0;

private:
    static LRESULT CALLBACK Answer(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<RefusingTray*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message != WM_COPYDATA || self == nullptr)
            return ::DefWindowProcA(window, message, wParam, lParam);
        ++self->calls;
        if (self->addLate_)
            ::SendMessageW(self->real_, WM_COPYDATA, wParam, lParam);
        return FALSE;
    }

    const HWND real_;
    const bool addLate_;
    HWND window_ = nullptr;
};

TEST_F(TrayIconTest, RefusedFirstAddIsTriedAgainUntilTheTrayAnswers) {
    RefusingTray notYet(false);
    EXPECT_FALSE(tray_.Create(Instance(), nullptr, kCallback, "Tovra", IDI_TRAY_NORMAL, kIconId, false));
    ASSERT_GT(notYet.calls, 0);
    EXPECT_FALSE(tray_.IsHidden()); // not hidden for good: "TaskbarCreated" and the timer retry

    notYet.Leave();

    EXPECT_TRUE(PumpUntil([&] { return !tray_.IsRemoved(); }, 6000));
    EXPECT_TRUE(IconPresent(Owner(), kIconId));
    EXPECT_TRUE(PumpUntil([] { return TrayPixelsLike(kNormalBlue) > 20; }));
}

TEST_F(TrayIconTest, IconTheShellAddedAfterReportingFailureIsTakenOverAndRemovedAtExit) {
    // Exits after the retry has run, or before any retry: no ghost either way.
    for (bool waitForRetry : {true, false}) {
        SCOPED_TRACE(waitForRetry ? "after the retry" : "before any retry");
        HWND owner;
        {
            CTrayIcon tray;
            RefusingTray busy(true);
            EXPECT_FALSE(
                tray.Create(Instance(), nullptr, kCallback, "Tovra", IDI_TRAY_NORMAL, kIconId, false));
            busy.Leave();
            owner = tray.HiddenWindow();
            ASSERT_TRUE(IconPresent(owner, kIconId));
            if (waitForRetry) {
                EXPECT_TRUE(PumpUntil([&] { return !tray.IsRemoved(); }, 6000));
            }
        }
        EXPECT_FALSE(IconPresent(owner, kIconId));
    }
}

} // namespace
