#include "framework/Window.h"

namespace tovra {

std::string Window::Text() const {
    const int length = ::GetWindowTextLengthA(handle_);
    if (length <= 0)
        return {};
    // The length may overstate the text (it counts the worst case for some character sets), so the
    // string is cut to what was actually copied.
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(handle_, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

bool Window::SetText(const std::string& text) const noexcept {
    return ::SetWindowTextA(handle_, text.c_str()) != FALSE;
}

} // namespace tovra
