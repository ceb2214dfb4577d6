#include "framework/Application.h"
#include "framework/Dialog.h"
#include "tests/support/TestDialogIds.h"
#include "tests/support/MessagePump.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tovra {
namespace {

constexpr UINT kAsk = WM_APP + 10;     // answered with twice its wParam
constexpr UINT kIgnored = WM_APP + 11; // left to the dialog manager
constexpr UINT kTestNotification = 0x7000;

class ProbeDialog : public Dialog {
public:
    int inits = 0;
    bool controlsExistedAtInit = false;
    bool visibleAtInit = true;
    bool clickOkAtInit = false;
    bool clickCancelAtInit = false;
    bool throwOnApply = false;
    std::vector<std::pair<int, int>> commands; // id, code
    HWND lastControl = nullptr;
    int oks = 0;
    int cancels = 0;
    int destroys = 0;

    ~ProbeDialog() override { Destroy(); }

protected:
    bool OnInit() override {
        ++inits;
        controlsExistedAtInit = Item(IDC_TEST_NAME) != nullptr && Item(IDOK) != nullptr;
        visibleAtInit = IsVisible();
        if (clickOkAtInit)
            Window(Item(IDOK)).PostMsg(BM_CLICK);
        if (clickCancelAtInit)
            Window(Item(IDCANCEL)).PostMsg(BM_CLICK);
        return true;
    }
    bool OnCommand(int id, int code, HWND control) override {
        if (id == IDC_TEST_APPLY) {
            commands.emplace_back(id, code);
            lastControl = control;
            if (throwOnApply)
                throw std::runtime_error("handler failed");
            return true;
        }
        if (id == IDC_TEST_CLOSE) {
            Destroy();
            return true;
        }
        return false;
    }
    bool OnNotify(const NMHDR& header, LRESULT& result) override {
        if (header.code != kTestNotification)
            return false;
        result = 1234;
        return true;
    }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) override {
        if (message != kAsk)
            return false;
        result = static_cast<INT_PTR>(wParam * 2);
        return true;
    }
    void OnOK() override {
        ++oks;
        Dialog::OnOK();
    }
    void OnCancel() override {
        ++cancels;
        Dialog::OnCancel();
    }
    void OnDestroy() override { ++destroys; }
};

class DialogTest : public ::testing::Test {
protected:
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
};

TEST_F(DialogTest, AModelessDialogInitialisesOnceWithItsControlsAndStaysHidden) {
    ProbeDialog dialog;
    ASSERT_TRUE(dialog.Create(instance, IDD_TEST_DIALOG, nullptr));
    EXPECT_TRUE(dialog.IsWindow());
    EXPECT_FALSE(dialog.IsModal());
    EXPECT_EQ(dialog.inits, 1);
    EXPECT_TRUE(dialog.controlsExistedAtInit);
    EXPECT_FALSE(dialog.visibleAtInit);
    EXPECT_FALSE(dialog.IsVisible()) << "the template is not WS_VISIBLE";
    EXPECT_EQ(dialog.Text(), "Dialog under test");
    EXPECT_FALSE(dialog.Create(instance, IDD_TEST_DIALOG, nullptr)) << "one window per object";
}

TEST_F(DialogTest, ControlsAreReachedByTheirId) {
    ProbeDialog dialog;
    ASSERT_TRUE(dialog.Create(instance, IDD_TEST_DIALOG, nullptr));
    EXPECT_EQ(dialog.ItemText(IDC_TEST_NAME), "");
    EXPECT_TRUE(dialog.SetItemText(IDC_TEST_NAME, "ftp.example.org"));
    EXPECT_EQ(dialog.ItemText(IDC_TEST_NAME), "ftp.example.org");
    const std::string longText(300, 'a'); // longer than the program's 260-byte fields
    EXPECT_TRUE(dialog.SetItemText(IDC_TEST_NAME, longText));
    EXPECT_EQ(dialog.ItemText(IDC_TEST_NAME), longText);
    EXPECT_EQ(dialog.ItemText(9999), "") << "no such control";

    EXPECT_FALSE(dialog.IsChecked(IDC_TEST_FORCE));
    dialog.SetChecked(IDC_TEST_FORCE, true);
    EXPECT_TRUE(dialog.IsChecked(IDC_TEST_FORCE));
    dialog.SetChecked(IDC_TEST_FORCE, false);
    EXPECT_FALSE(dialog.IsChecked(IDC_TEST_FORCE));

    dialog.EnableItem(IDC_TEST_APPLY, false);
    EXPECT_FALSE(Window(dialog.Item(IDC_TEST_APPLY)).IsEnabled());

    dialog.SetItemText(IDC_TEST_NAME, "");
    dialog.LimitItemText(IDC_TEST_NAME, 5);
    Window(dialog.Item(IDC_TEST_NAME)).SendMsg(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>("overlong"));
    EXPECT_EQ(dialog.ItemText(IDC_TEST_NAME), "overl") << "typing stops at the limit";
}

TEST_F(DialogTest, AButtonClickReachesOnCommandWithItsIdCodeAndControl) {
    ProbeDialog dialog;
    ASSERT_TRUE(dialog.Create(instance, IDD_TEST_DIALOG, nullptr));
    Window(dialog.Item(IDC_TEST_APPLY)).SendMsg(BM_CLICK);
    ASSERT_EQ(dialog.commands.size(), 1u);
    EXPECT_EQ(dialog.commands[0], std::make_pair(IDC_TEST_APPLY, static_cast<int>(BN_CLICKED)));
    EXPECT_EQ(dialog.lastControl, dialog.Item(IDC_TEST_APPLY));
    EXPECT_EQ(dialog.oks + dialog.cancels, 0);
}

TEST_F(DialogTest, OkCancelAndTheCloseBoxHideAModelessDialog) {
    ProbeDialog dialog;
    ASSERT_TRUE(dialog.Create(instance, IDD_TEST_DIALOG, nullptr));
    dialog.Show(SW_SHOWNOACTIVATE);
    ASSERT_TRUE(dialog.IsVisible());
    Window(dialog.Item(IDOK)).SendMsg(BM_CLICK);
    EXPECT_EQ(dialog.oks, 1);
    EXPECT_FALSE(dialog.IsVisible());
    EXPECT_TRUE(dialog.IsWindow()) << "hidden, not destroyed";

    dialog.Show(SW_SHOWNOACTIVATE);
    Window(dialog.Item(IDCANCEL)).SendMsg(BM_CLICK);
    EXPECT_EQ(dialog.cancels, 1);
    EXPECT_FALSE(dialog.IsVisible());

    dialog.Show(SW_SHOWNOACTIVATE);
    dialog.SendMsg(WM_CLOSE); // the dialog manager posts the Cancel command it stands for
    EXPECT_TRUE(test::PumpUntil([&] { return dialog.cancels == 2; })) << "the close box counts as Cancel";
    EXPECT_FALSE(dialog.IsVisible());
    EXPECT_EQ(dialog.destroys, 0);
}

TEST_F(DialogTest, NotificationsAndOtherMessagesReturnTheirResultToTheSender) {
    ProbeDialog dialog;
    ASSERT_TRUE(dialog.Create(instance, IDD_TEST_DIALOG, nullptr));
    NMHDR header{};
    header.hwndFrom = dialog.Item(IDC_TEST_NAME);
    header.idFrom = IDC_TEST_NAME;
    header.code = kTestNotification;
    EXPECT_EQ(dialog.SendMsg(WM_NOTIFY, IDC_TEST_NAME, reinterpret_cast<LPARAM>(&header)), 1234);
    EXPECT_EQ(dialog.SendMsg(kAsk, 21), 42);
    EXPECT_EQ(dialog.SendMsg(kIgnored, 21), 0);
}

TEST_F(DialogTest, AnExceptionFromAHandlerStaysInsideTheDialog) {
    ProbeDialog dialog;
    ASSERT_TRUE(dialog.Create(instance, IDD_TEST_DIALOG, nullptr));
    dialog.throwOnApply = true;
    Window(dialog.Item(IDC_TEST_APPLY)).SendMsg(BM_CLICK);
    Window(dialog.Item(IDC_TEST_APPLY)).SendMsg(BM_CLICK);
    EXPECT_EQ(dialog.commands.size(), 2u) << "the dialog went on handling messages";
    EXPECT_TRUE(dialog.IsWindow());
    EXPECT_EQ(dialog.SendMsg(kAsk, 5), 10);
}

TEST_F(DialogTest, DestroyCallsOnDestroyAndForgetsTheWindow) {
    ProbeDialog dialog;
    ASSERT_TRUE(dialog.Create(instance, IDD_TEST_DIALOG, nullptr));
    const HWND window = dialog;
    dialog.Destroy();
    EXPECT_EQ(dialog.destroys, 1);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(dialog.Handle(), nullptr);
    dialog.Destroy(); // nothing left to destroy
    EXPECT_EQ(dialog.destroys, 1);
    EXPECT_TRUE(dialog.Create(instance, IDD_TEST_DIALOG, nullptr)) << "the object can make a new window";
}

TEST_F(DialogTest, TheDestructorDestroysAWindowStillOpen) {
    HWND window = nullptr;
    {
        ProbeDialog dialog;
        ASSERT_TRUE(dialog.Create(instance, IDD_TEST_DIALOG, nullptr));
        window = dialog;
    }
    EXPECT_FALSE(::IsWindow(window));
}

TEST_F(DialogTest, AModalDialogEndsWithTheButtonClicked) {
    ProbeDialog ok;
    ok.clickOkAtInit = true;
    EXPECT_EQ(ok.DoModal(instance, IDD_TEST_DIALOG, nullptr), IDOK);
    EXPECT_EQ(ok.oks, 1);
    EXPECT_EQ(ok.destroys, 1);
    EXPECT_EQ(ok.Handle(), nullptr);
    EXPECT_FALSE(ok.IsModal());

    ProbeDialog cancel;
    cancel.clickCancelAtInit = true;
    EXPECT_EQ(cancel.DoModal(instance, IDD_TEST_DIALOG, nullptr), IDCANCEL);
    EXPECT_EQ(cancel.cancels, 1);
}

TEST_F(DialogTest, AMissingTemplateIsReportedNotShown) {
    ProbeDialog dialog;
    EXPECT_EQ(dialog.DoModal(instance, 9999, nullptr), -1);
    EXPECT_FALSE(dialog.Create(instance, 9999, nullptr));
    EXPECT_EQ(dialog.inits, 0);
}

TEST_F(DialogTest, OnlyTheMainWindowsDestructionEndsTheMessageLoop) {
    ProbeDialog other;
    ASSERT_TRUE(other.Create(instance, IDD_TEST_DIALOG, nullptr));
    other.Destroy();
    MSG message;
    EXPECT_FALSE(::PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));

    Application application(instance);
    EXPECT_EQ(application.Instance(), instance);
    ProbeDialog main;
    ASSERT_TRUE(main.Create(instance, IDD_TEST_DIALOG, nullptr));
    application.SetMainWindow(main);
    main.PostMsg(WM_COMMAND, MAKEWPARAM(IDC_TEST_CLOSE, BN_CLICKED), 0);
    EXPECT_EQ(application.RunMessageLoop(), 0);
    EXPECT_EQ(main.destroys, 1);
    EXPECT_FALSE(main.IsWindow());
}

TEST_F(DialogTest, TheKeyboardDialogGetsItsKeysThroughTheLoop) {
    Application application(instance);
    ProbeDialog main;
    ASSERT_TRUE(main.Create(instance, IDD_TEST_DIALOG, nullptr));
    application.SetMainWindow(main);
    application.SetKeyboardDialog(main);
    // Escape in the edit box means Cancel only when the loop lets the dialog see its keys first.
    Window(main.Item(IDC_TEST_NAME)).PostMsg(WM_KEYDOWN, VK_ESCAPE, 0);
    main.PostMsg(WM_COMMAND, MAKEWPARAM(IDC_TEST_CLOSE, BN_CLICKED), 0);
    EXPECT_EQ(application.RunMessageLoop(), 0);
    EXPECT_EQ(main.cancels, 1);
}

} // namespace
} // namespace tovra
