#include "mainwindow/HelpFile.h"

#include <shellapi.h>

namespace tovra {

std::string HelpFilePath(HMODULE module) {
    // GetModuleFileNameA cuts a path that does not fit and says so only by filling the buffer.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::string::size_type separator = path.find_last_of("\\/");
    path.resize(separator == std::string::npos ? 0 : separator + 1);
    return path + "Tovra.chm";
}

bool OpenHelpFile(HWND owner) {
    const std::string path = HelpFilePath();
    // A missing file would only earn an error from the shell; nothing is shown for it.
    if (path.empty() || ::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteA(owner, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

} // namespace tovra
