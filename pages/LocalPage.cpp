#include "pages/LocalPage.h"

#include "pages/TabPageTheme.h"
#include "resources/LocalPageIds.h"
#include "resources/ResourceIds.h"

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <utility>

namespace tovra {
namespace {

// Reads "a.b.c.d" with each part 0 to 255 in plain decimal, the form inet_ntoa writes. By hand:
// sscanf would bring the C library's whole number and float scanner into the program.
bool ParseDottedQuad(const std::string& text, BYTE (&parts)[4]) {
    std::size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0 && (at == text.size() || text[at++] != '.'))
            return false;
        const std::size_t first = at;
        unsigned value = 0;
        while (at < text.size() && at - first < 3 && text[at] >= '0' && text[at] <= '9')
            value = value * 10 + static_cast<unsigned>(text[at++] - '0');
        if (at == first || value > 255)
            return false;
        parts[i] = static_cast<BYTE>(value);
    }
    return at == text.size();
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
    // The edit control's own limit (32K characters by default) would refuse lines long before
    // ours; the log's length is kept by AppendLog instead.
    Window(LogBox()).SendMsg(EM_SETLIMITTEXT, kLogCapacity + 1);
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
    return std::to_string(FIRST_IPADDRESS(address)) + '.' + std::to_string(SECOND_IPADDRESS(address)) + '.' +
           std::to_string(THIRD_IPADDRESS(address)) + '.' + std::to_string(FOURTH_IPADDRESS(address));
}

void CLocalPage::SetAddressText(const std::string& address) const noexcept {
    const Window field(Item(IDC_LOCAL_IP_ADDRESS));
    BYTE parts[4] = {};
    if (ParseDottedQuad(address, parts))
        field.SendMsg(IPM_SETADDRESS, 0, MAKEIPADDRESS(parts[0], parts[1], parts[2], parts[3]));
    else
        field.SendMsg(IPM_CLEARADDRESS);
}

std::string CLocalPage::Ipv6AddressText() const {
    return Window(Item(IDC_LOCAL_IPV6_ADDRESS)).Text();
}

void CLocalPage::SetIpv6AddressText(const std::string& address) const {
    Window(Item(IDC_LOCAL_IPV6_ADDRESS)).SetText(address);
}

HWND CLocalPage::LogBox() const noexcept {
    return Item(IDC_LOCAL_LOG);
}

namespace {

// Where the kept part of `text` begins when at most `keep` of its characters may stay: at the
// first whole line within them.
std::size_t FirstWholeLineWithin(std::string_view text, std::size_t keep) {
    if (text.size() <= keep)
        return 0;
    const std::size_t lineEnd = text.find('\n', text.size() - keep - 1);
    return lineEnd == std::string_view::npos ? text.size() : lineEnd + 1;
}

} // namespace

void CLocalPage::AppendLog(std::string_view lines) const {
    if (lines.empty())
        return;
    const Window log(LogBox());
    std::size_t length = static_cast<std::size_t>(log.SendMsg(WM_GETTEXTLENGTH));
    if (length + lines.size() > kLogCapacity) {
        if (lines.size() >= kLogKept) {
            // An entry larger than all that is kept: its own newest lines only.
            log.SetText(std::string(lines.substr(FirstWholeLineWithin(lines, kLogKept))));
            ScrollLogToEnd();
            return;
        }
        // The oldest lines go in one cut, down to kLogKept with the new lines: the edit control
        // moves its whole text for a cut, so it must come once in many hours, not with every line.
        const std::string text = log.Text();
        const std::size_t cut = FirstWholeLineWithin(text, kLogKept - lines.size());
        log.SendMsg(EM_SETSEL, 0, static_cast<LPARAM>(cut));
        log.SendMsg(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(""));
        length = text.size() - cut;
    }
    // Appending at the end, rather than setting the whole text again, keeps each line cheap.
    log.SendMsg(EM_SETSEL, length, static_cast<LPARAM>(length));
    const std::string text(lines);
    log.SendMsg(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    ScrollLogToEnd();
}

void CLocalPage::ScrollLogToEnd() const noexcept {
    const Window log(LogBox());
    const LRESULT length = log.SendMsg(WM_GETTEXTLENGTH);
    log.SendMsg(EM_SETSEL, static_cast<WPARAM>(length), length);
    log.SendMsg(EM_SCROLLCARET);
}

} // namespace tovra
