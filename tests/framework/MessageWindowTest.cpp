#include "framework/MessageWindow.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tovra {
namespace {

constexpr UINT kAsk = WM_APP + 20; // answered with its wParam plus one
constexpr UINT kThrow = WM_APP + 21;

class ProbeWindow : public MessageWindow {
public:
    bool handleKnownAtNcCreate = false;
    int creates = 0;
    int destroys = 0;
    int broadcasts = 0;
    UINT broadcastMessage = ::RegisterWindowMessageA("Tovra.Test.Broadcast");

    ~ProbeWindow() override { Destroy(); }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_NCCREATE)
            handleKnownAtNcCreate = Handle() != nullptr;
        if (message == WM_CREATE)
            ++creates;
        if (message == WM_DESTROY)
            ++destroys;
        if (message == kAsk)
            return static_cast<LRESULT>(wParam + 1);
        if (message == kThrow)
            throw std::runtime_error("handler failed");
        if (message == broadcastMessage) {
            ++broadcasts;
            return 0;
        }
        return MessageWindow::HandleMessage(message, wParam, lParam);
    }
};

class MessageWindowTest : public ::testing::Test {
protected:
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
};

TEST_F(MessageWindowTest, SeesItsMessagesFromCreationOn) {
    ProbeWindow window;
    ASSERT_TRUE(window.Create(instance, "Tovra.Test.Probe"));
    EXPECT_TRUE(window.handleKnownAtNcCreate);
    EXPECT_EQ(window.creates, 1);
    EXPECT_EQ(window.SendMsg(kAsk, 41), 42);
    EXPECT_FALSE(window.IsVisible());
    EXPECT_FALSE(window.Create(instance, "Tovra.Test.Probe")) << "one window per object";
}

TEST_F(MessageWindowTest, WindowsOfOneClassCoexist) {
    ProbeWindow first;
    ProbeWindow second;
    ASSERT_TRUE(first.Create(instance, "Tovra.Test.Shared"));
    ASSERT_TRUE(second.Create(instance, "Tovra.Test.Shared")) << "the class is registered once and reused";
    EXPECT_NE(first.Handle(), second.Handle());
    EXPECT_EQ(second.SendMsg(kAsk, 1), 2);
}

TEST_F(MessageWindowTest, AnExceptionFromTheHandlerGetsTheDefaultHandling) {
    ProbeWindow window;
    ASSERT_TRUE(window.Create(instance, "Tovra.Test.Probe"));
    EXPECT_EQ(window.SendMsg(kThrow), 0);
    EXPECT_EQ(window.SendMsg(kAsk, 1), 2) << "the window goes on working";
}

TEST_F(MessageWindowTest, OnlyTheHiddenKindHearsBroadcasts) {
    // The tray icon must be re-added when the taskbar broadcasts that it was recreated.
    ProbeWindow hidden;
    ProbeWindow messageOnly;
    ASSERT_TRUE(hidden.Create(instance, "Tovra.Test.Probe", MessageWindow::Kind::Hidden));
    ASSERT_TRUE(messageOnly.Create(instance, "Tovra.Test.Probe", MessageWindow::Kind::MessageOnly));
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutA(HWND_BROADCAST, hidden.broadcastMessage, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    EXPECT_EQ(hidden.broadcasts, 1);
    EXPECT_EQ(messageOnly.broadcasts, 0);
}

TEST_F(MessageWindowTest, DestroyAndTheDestructorBothEndTheWindow) {
    ProbeWindow window;
    ASSERT_TRUE(window.Create(instance, "Tovra.Test.Probe"));
    HWND handle = window;
    window.Destroy();
    EXPECT_EQ(window.destroys, 1);
    EXPECT_FALSE(::IsWindow(handle));
    EXPECT_EQ(window.Handle(), nullptr);

    {
        ProbeWindow scoped;
        ASSERT_TRUE(scoped.Create(instance, "Tovra.Test.Probe"));
        handle = scoped;
    }
    EXPECT_FALSE(::IsWindow(handle));
}

} // namespace
} // namespace tovra
