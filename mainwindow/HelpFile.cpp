#include "mainwindow/HelpFile.h"

#include "framework/ModuleFolder.h"

#include <shellapi.h>

namespace tovra {

std::wstring HelpFilePath(HMODULE module) {
    const std::wstring folder = ModuleFolder(module);
    return folder.empty() ? std::wstring() : folder + L"Tovra.chm";
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
