#pragma once
// The main window's controls as the posting cycle and its workers reach them. Every call of a
// worker is carried to the UI thread by the invoker, and the controls are touched only there.
//
// Threads: RunOnWindowThread from any thread; the other members only inside it, on the UI thread.
// Lifetime: shared by the cycle and thereby by the workers, which may outlive the window. The
// window closes the invoker before it goes away; from then on RunOnWindowThread runs nothing, so
// the reference to the window is never used after the window is gone.

#include "cycle/CycleView.h"

#include <memory>

namespace tovra {

class CMainDialog;
class UiInvoker;

class CMainWindowView final : public CycleView {
public:
    CMainWindowView(std::shared_ptr<UiInvoker> invoker, CMainDialog& window);

    bool RunOnWindowThread(const std::function<void()>& fn) override;

    void AppendLogText(std::string_view lines) override;
    std::string DetectedAddress() override;
    void ShowDetectedAddress(std::string_view address) override;
    std::string DetectedIpv6Address() override;
    void ShowDetectedIpv6Address(std::string_view address) override;
    bool WebDetectionChosen() override;
    void ShowDetailsPage() override;
    void ShowRefusedSetting(RefusedSetting setting) override;
    void SetTrayIcon(int iconId) override;
    void ShowPostingResult(bool failed, std::string_view reason) override;
    void ShowMessageBox(std::string_view text) override;

private:
    const std::shared_ptr<UiInvoker> invoker_;
    CMainDialog& window_;
};

} // namespace tovra
