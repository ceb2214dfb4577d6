// The pattern the program follows with the main window and the workers, end to end: a worker
// posts writes into a dialog's controls through the invoker, and as the dialog is destroyed the
// invoker is closed and then the worker stopped. Nothing posted may reach the dialog once it has
// started to go away.

#include "framework/Dialog.h"
#include "mainwindow/UiInvoker.h"
#include "tests/support/LambdaWorker.h"
#include "tests/support/TestDialogIds.h"
#include "tests/support/MessagePump.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tovra {
namespace {

using test::LambdaWorker;

class LoggingDialog : public Dialog {
public:
    explicit LoggingDialog(HINSTANCE instance) : instance_(instance) {}
    ~LoggingDialog() override { Destroy(); }

    int lines = 0;
    int linesAfterDestroyBegan = 0;
    bool stoppedInTime = false;

protected:
    bool OnInit() override {
        invoker_ = std::make_unique<UiInvoker>(instance_);
        // The worker co-owns the invoker's queue, never the dialog: the dialog is reached only
        // inside posted calls, which the closed invoker drops.
        worker_ = LambdaWorker::Started([this, calls = invoker_->Calls()](LambdaWorker& self) {
            // Paced, as a worker's lines are, so that the window thread keeps up.
            while (!self.WaitForStop(1))
                calls->Post([this] { AppendLine(); });
        });
        return true;
    }

    void OnDestroy() override {
        destroying_ = true;
        invoker_->Close();
        stoppedInTime = worker_ && worker_->Stop(10000);
    }

private:
    void AppendLine() {
        if (destroying_)
            ++linesAfterDestroyBegan;
        ++lines;
        SetItemText(IDC_TEST_NAME, "line " + std::to_string(lines));
    }

    HINSTANCE instance_;
    bool destroying_ = false;
    std::unique_ptr<UiInvoker> invoker_;
    std::shared_ptr<LambdaWorker> worker_;
};

TEST(WindowShutdown, AWorkerWritingIntoADialogIsStoppedCleanlyWhenTheDialogGoes) {
    for (int round = 0; round < 5; ++round) {
        LoggingDialog dialog(::GetModuleHandleA(nullptr));
        ASSERT_TRUE(dialog.Create(::GetModuleHandleA(nullptr), IDD_TEST_DIALOG, nullptr));
        ASSERT_TRUE(test::PumpUntil([&] { return dialog.lines >= 100; }));
        dialog.Destroy();
        EXPECT_TRUE(dialog.stoppedInTime) << "round " << round;
        EXPECT_EQ(dialog.linesAfterDestroyBegan, 0) << "round " << round;
        EXPECT_FALSE(dialog.IsWindow());
    }
}

} // namespace
} // namespace tovra
