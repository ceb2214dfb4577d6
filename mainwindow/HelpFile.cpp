#include "mainwindow/HelpFile.h"

#include <shellapi.h>

namespace tovra {

std::wstring HelpFilePath(HMODULE module) {
    // GetModuleFileNameW cuts a path that does not fit and says so only by filling the buffer.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::wstring::size_type separator = path.find_last_of(L"\\/");
    path.resize(separator == std::wstring::npos ? 0 : separator + 1);
    return path + L"Tovra.chm";
}

bool OpenHelpFile(HWND owner) {
    const std::wstring path = HelpFilePath();
    // A missing file would only earn an error from the shell; nothing is shown for it.
    if (path.empty() || ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(owner, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

} // namespace tovra
