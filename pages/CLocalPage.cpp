#include "pages/CLocalPage.h"

#include "pages/TabPageTheme.h"
#include "resources/LocalPageIds.h"
#include "resources/ResourceIds.h"

#include <commctrl.h>

#include <cstdio>
#include <utility>

namespace tovra {
namespace {

// Reads "a.b.c.d" with each part 0 to 255 in plain decimal, the form inet_ntoa writes.
bool ParseDottedQuad(const std::string& text, BYTE (&parts)[4]) {
    unsigned values[4] = {};
    char rest = 0;
    if (text.size() > 15 || std::sscanf(text.c_str(), "%3u.%3u.%3u.%3u%c", &values[0], &values[1], &values[2],
                                        &values[3], &rest) != 4)
        return false;
    for (int i = 0; i < 4; ++i) {
        if (values[i] > 255)
            return false;
        parts[i] = static_cast<BYTE>(values[i]);
    }
    return true;
}

} // namespace

CLocalPage::CLocalPage(CheckRequest checkAddressOnly) : checkAddressOnly_(std::move(checkAddressOnly)) {}

CLocalPage::~CLocalPage() {
    Destroy();
}

bool CLocalPage::Create(HINSTANCE instance, HWND parent) {
    return Dialog::Create(instance, IDD_LOCAL_PAGE, parent);
}

bool CLocalPage::OnInit() {
    EnableTabPageTheme(Handle());
    return true;
}

bool CLocalPage::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED || (id != IDC_LOCAL_USE_LOCAL && id != IDC_LOCAL_USE_WEB))
        return false;
    if (checkAddressOnly_)
        checkAddressOnly_(id == IDC_LOCAL_USE_WEB);
    return true;
}

void CLocalPage::SelectMode(bool useWeb) const noexcept {
    ::CheckRadioButton(Handle(), IDC_LOCAL_USE_LOCAL, IDC_LOCAL_USE_WEB,
                       useWeb ? IDC_LOCAL_USE_WEB : IDC_LOCAL_USE_LOCAL);
}

bool CLocalPage::IsWebSelected() const noexcept {
    return IsChecked(IDC_LOCAL_USE_WEB);
}

bool CLocalPage::IsLocalSelected() const noexcept {
    return IsChecked(IDC_LOCAL_USE_LOCAL);
}

std::string CLocalPage::AddressText() const {
    const Window field(Item(IDC_LOCAL_IP_ADDRESS));
    if (field.SendMsg(IPM_ISBLANK) != 0)
        return std::string();
    DWORD address = 0;
    field.SendMsg(IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
    char text[16] = {};
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", static_cast<unsigned>(FIRST_IPADDRESS(address)),
                  static_cast<unsigned>(SECOND_IPADDRESS(address)),
                  static_cast<unsigned>(THIRD_IPADDRESS(address)),
                  static_cast<unsigned>(FOURTH_IPADDRESS(address)));
    return text;
}

void CLocalPage::SetAddressText(const std::string& address) const noexcept {
    const Window field(Item(IDC_LOCAL_IP_ADDRESS));
    BYTE parts[4] = {};
    if (ParseDottedQuad(address, parts))
        field.SendMsg(IPM_SETADDRESS, 0, MAKEIPADDRESS(parts[0], parts[1], parts[2], parts[3]));
    else
        field.SendMsg(IPM_CLEARADDRESS);
}

HWND CLocalPage::LogBox() const noexcept {
    return Item(IDC_LOCAL_LOG);
}

} // namespace tovra
