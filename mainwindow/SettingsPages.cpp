#include "mainwindow/SettingsPages.h"

#include "framework/FixedText.h"
#include "pages/AdvancedPage.h"
#include "pages/LocalPage.h"
#include "pages/SitePage.h"
#include "resources/AdvancedPageIds.h"
#include "resources/SitePageIds.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace tovra {
namespace {

template <std::size_t N> void ShowText(const Dialog& page, int id, const char (&field)[N]) {
    page.SetItemText(id, std::string(FieldText(field)));
}

// At most `longest` characters of the control's text, as the saved field holds them.
template <std::size_t N> void TakeText(const Dialog& page, int id, std::uint32_t longest, char (&field)[N]) {
    static_assert(N > 0);
    const std::size_t capacity = longest + 1u < N ? longest + 1u : N;
    CopyBounded(field, capacity, page.ItemText(id));
    // The tail beyond the capacity stays zero, as CopyBounded leaves only the part it wrote.
    std::fill(field + capacity, field + N, '\0');
}

} // namespace

void ShowSettings(const Settings& settings, const SettingsPages& pages) {
    pages.local.SelectMode(settings.GetWebAddress);

    const CSitePage& site = pages.site;
    ShowText(site, IDC_SITE_ADDRESS, settings.SiteAddress);
    ShowText(site, IDC_SITE_PORT, settings.SitePort);
    ShowText(site, IDC_SITE_USERNAME, settings.SiteUsername);
    ShowText(site, IDC_SITE_PASSWORD, settings.SitePassword);
    ShowText(site, IDC_SITE_REMOTE_PATH, settings.SiteRemotePath);
    ShowText(site, IDC_SITE_TEMPLATE_FILE, settings.LocalTemplateFile);
    site.SetChecked(IDC_SITE_PASSIVE_MODE, settings.SitePasvMode);
    pages.site.ShowProtocol(settings.SiteProtocol);

    const CAdvancedPage& advanced = pages.advanced;
    ShowText(advanced, IDC_PROXY_USERNAME, settings.ProxyUsername);
    ShowText(advanced, IDC_PROXY_PASSWORD, settings.ProxyPassword);
    advanced.SetChecked(IDC_FORCE_UPLOAD, settings.ForcePost);
    pages.advanced.ShowSites(settings.IpSites);
}

void TakeSettings(Settings& settings, const SettingsPages& pages) {
    settings.GetWebAddress = !pages.local.IsLocalSelected();

    const CSitePage& site = pages.site;
    const std::uint32_t longest = Settings::kLongestSavedText;
    TakeText(site, IDC_SITE_ADDRESS, longest, settings.SiteAddress);
    TakeText(site, IDC_SITE_USERNAME, longest, settings.SiteUsername);
    TakeText(site, IDC_SITE_PASSWORD, longest, settings.SitePassword);
    TakeText(site, IDC_SITE_REMOTE_PATH, longest, settings.SiteRemotePath);
    TakeText(site, IDC_SITE_TEMPLATE_FILE, longest, settings.LocalTemplateFile);
    TakeText(site, IDC_SITE_PORT, Settings::kLongestSavedPort, settings.SitePort);
    settings.SitePasvMode = site.IsChecked(IDC_SITE_PASSIVE_MODE);
    settings.SiteProtocol = site.Protocol();

    const CAdvancedPage& advanced = pages.advanced;
    TakeText(advanced, IDC_PROXY_USERNAME, longest, settings.ProxyUsername);
    TakeText(advanced, IDC_PROXY_PASSWORD, longest, settings.ProxyPassword);
    settings.ForcePost = advanced.IsChecked(IDC_FORCE_UPLOAD);
    settings.IpSites = advanced.Sites();
}

} // namespace tovra
