#include "tests/e2e/TrayAnchor.h"

#include <shellapi.h>

#include <cstring>
#include <vector>

namespace tovra::test {
namespace {

constexpr int kSide = 16;
constexpr UINT kIconId = 1;

UniqueIcon GreySquare() {
    // All of the square is opaque (AND mask clear) and mid-grey in the colour bits.
    const std::vector<BYTE> andMask(kSide * kSide / 8, 0x00);
    const std::vector<DWORD> colour(kSide * kSide, 0x00808080);
    return UniqueIcon(::CreateIcon(nullptr, kSide, kSide, 1, 32, andMask.data(),
                                   reinterpret_cast<const BYTE*>(colour.data())));
}

NOTIFYICONDATAA IconData(HWND window) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = window;
    data.uID = kIconId;
    return data;
}

} // namespace

TrayAnchor::TrayAnchor(const char* tip)
    : window_(::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr)),
      picture_(GreySquare()) {
    if (!window_)
        return;
    NOTIFYICONDATAA data = IconData(window_.get());
    data.uFlags = NIF_ICON | NIF_TIP;
    data.hIcon = picture_ ? picture_.get() : ::LoadIconA(nullptr, IDI_APPLICATION);
    lstrcpynA(data.szTip, tip, sizeof data.szTip);
    added_ = ::Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
}

TrayAnchor::~TrayAnchor() {
    if (!added_)
        return;
    NOTIFYICONDATAA data = IconData(window_.get());
    ::Shell_NotifyIconA(NIM_DELETE, &data);
}

} // namespace tovra::test
