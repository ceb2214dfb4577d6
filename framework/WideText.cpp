#include "framework/WideText.h"

#include <windows.h>

namespace tovra {

std::wstring WidenAnsi(std::string_view text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
    return wide;
}

namespace {

// Empty, with the system's error, when the call fails outright.
std::string Narrow(std::wstring_view text, DWORD flags, BOOL* lossy) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int length = ::WideCharToMultiByte(CP_ACP, flags, text.data(), size, nullptr, 0, nullptr, lossy);
    std::string narrow(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        ::WideCharToMultiByte(CP_ACP, flags, text.data(), size, narrow.data(), length, nullptr, lossy);
    return narrow;
}

// Windows' "Beta: Use Unicode UTF-8" setting makes the code page UTF-8 (65001), whose conversion
// refuses WC_NO_BEST_FIT_CHARS and the used-default flag: the call fails outright, so every exact
// conversion would fail and every path of the user's would count as unspellable. There (and in the
// few other code pages that refuse them) the text is converted plainly.
bool FlagsRefused(std::wstring_view text, const std::string& narrow) {
    return narrow.empty() && !text.empty() && ::GetLastError() == ERROR_INVALID_PARAMETER;
}

// Exact is what converts back to the same text: in UTF-8 that leaves out only a lone surrogate,
// which it cannot carry (it would become U+FFFD, another name).
bool RoundTrips(std::wstring_view text, const std::string& narrow) {
    const int size = static_cast<int>(narrow.size());
    const int length = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, narrow.data(), size, nullptr, 0);
    if (length != static_cast<int>(text.size()))
        return false;
    std::wstring back(static_cast<std::size_t>(length), L'\0');
    return ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, narrow.data(), size, back.data(), length) ==
               length &&
           back == text;
}

} // namespace

std::optional<std::string> NarrowExactly(std::wstring_view text) {
    if (text.empty())
        return std::string();
    BOOL lossy = FALSE;
    std::string narrow = Narrow(text, WC_NO_BEST_FIT_CHARS, &lossy);
    if (FlagsRefused(text, narrow)) {
        narrow = Narrow(text, 0, nullptr);
        lossy = FALSE;
    }
    if (lossy || !RoundTrips(text, narrow))
        return std::nullopt;
    return narrow;
}

std::string NarrowForDisplay(std::wstring_view text) {
    std::string narrow = Narrow(text, WC_NO_BEST_FIT_CHARS, nullptr);
    if (FlagsRefused(text, narrow))
        return Narrow(text, 0, nullptr);
    return narrow;
}

} // namespace tovra
