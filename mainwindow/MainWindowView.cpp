#include "mainwindow/MainWindowView.h"

#include "mainwindow/UiInvoker.h"
#include "mainwindow/MainDialog.h"
#include "resources/ResourceIds.h"
#include "resources/SitePageIds.h"
#include "tray/TrayIcon.h"

#include <string>
#include <utility>

namespace tovra {

CMainWindowView::CMainWindowView(std::shared_ptr<UiInvoker> invoker, CMainDialog& window)
    : invoker_(std::move(invoker)), window_(window) {}

bool CMainWindowView::RunOnWindowThread(const std::function<void()>& fn) {
    return invoker_->Invoke(fn);
}

void CMainWindowView::AppendLogText(std::string_view lines) {
    window_.LocalPage().AppendLog(lines);
}

std::string CMainWindowView::DetectedAddress() {
    return window_.LocalPage().AddressText();
}

void CMainWindowView::ShowDetectedAddress(std::string_view address) {
    window_.LocalPage().SetAddressText(std::string(address));
}

std::string CMainWindowView::DetectedIpv6Address() {
    return window_.LocalPage().Ipv6AddressText();
}

void CMainWindowView::ShowDetectedIpv6Address(std::string_view address) {
    window_.LocalPage().SetIpv6AddressText(std::string(address));
}

bool CMainWindowView::WebDetectionChosen() {
    return window_.LocalPage().IsWebSelected();
}

void CMainWindowView::ShowDetailsPage() {
    window_.SelectTab(CMainDialog::kDetailsTab);
    // Painted now, not at the next idle moment: the post that follows keeps this thread busy in
    // short bursts, and the user should watch its lines arrive.
    ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void CMainWindowView::ShowRefusedSetting(RefusedSetting setting) {
    if (setting == RefusedSetting::None)
        return;
    window_.SelectTab(CMainDialog::kConnectionTab);
    const CSitePage& page = window_.SitePage();
    ::SetFocus(page.Item(setting == RefusedSetting::SitePort ? IDC_SITE_PORT : IDC_SITE_ADDRESS));
}

void CMainWindowView::SetTrayIcon(int iconId) {
    window_.TrayStatus().SetBusy(iconId == IDI_TRAY_BUSY);
}

void CMainWindowView::ShowPostingResult(bool failed, std::string_view reason) {
    window_.TrayStatus().ShowPostingResult(failed, reason);
}

void CMainWindowView::ShowMessageBox(std::string_view text) {
    window_.ShowMessageBoxLater(text);
}

} // namespace tovra
