#pragma once
// The main window as the posting cycle shows its work there. Every call of a worker is posted to
// the window thread by the invoker's queue, and the controls are touched only there.
//
// Lifetime: shared by the cycle and thereby by the workers, which may outlive the window. The
// invoker is closed before the window goes away (Program); from then on nothing posted runs, so
// the reference to the window is never used after the window is gone.

#include "cycle/CycleView.h"
#include "mainwindow/UiInvoker.h"

#include <memory>

namespace tovra {

class CMainDialog;

class CMainWindowView final : public CycleView {
public:
    CMainWindowView(std::shared_ptr<UiInvoker::Queue> calls, CMainDialog& window);

    bool PostToWindowThread(std::function<void()> fn) override;

    void AppendLogText(std::string_view lines) override;
    void ShowDetectedAddress(std::string_view ipv4, std::string_view ipv6) override;
    void ShowDetailsPage() override;
    void ShowRefusedSetting(RefusedSetting setting) override;
    void ShowBusy(bool busy) override;
    void ShowPostingResult(bool failed, std::string_view reason, bool retryFollows) override;
    void ShowMessageBox(std::string_view text) override;

private:
    const std::shared_ptr<UiInvoker::Queue> calls_;
    CMainDialog& window_;
};

} // namespace tovra
