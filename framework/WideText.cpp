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

} // namespace

std::optional<std::string> NarrowExactly(std::wstring_view text) {
    BOOL lossy = FALSE;
    std::string narrow = Narrow(text, WC_NO_BEST_FIT_CHARS, &lossy);
    if (lossy || narrow.empty() != text.empty())
        return std::nullopt;
    return narrow;
}

std::string NarrowForDisplay(std::wstring_view text) {
    return Narrow(text, WC_NO_BEST_FIT_CHARS, nullptr);
}

} // namespace tovra
