#include "mainwindow/MainWindowView.h"

#include "mainwindow/MainDialog.h"
#include "resources/SitePageIds.h"
#include "tray/TrayIcon.h"

#include <string>
#include <utility>

namespace tovra {

CMainWindowView::CMainWindowView(std::shared_ptr<UiInvoker::Queue> calls, CMainDialog& window)
    : calls_(std::move(calls)), window_(window) {}

bool CMainWindowView::PostToWindowThread(std::function<void()> fn) {
    return calls_->Post(std::move(fn));
}

void CMainWindowView::AppendLogText(std::string_view lines) {
    window_.LocalPage().AppendLog(lines);
}

void CMainWindowView::ShowDetectedAddress(std::string_view ipv4, std::string_view ipv6) {
    window_.ShowDetectedAddress(ipv4, ipv6);
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

void CMainWindowView::ShowBusy(bool busy) {
    window_.TrayStatus().SetBusy(busy);
}

void CMainWindowView::ShowPostingResult(bool failed, std::string_view reason, bool retryFollows) {
    window_.TrayStatus().ShowPostingResult(failed, reason, retryFollows);
}

void CMainWindowView::ShowMessageBox(std::string_view text) {
    window_.ShowMessageBoxLater(text);
}

} // namespace tovra
