#pragma once
// Files of tests in folders whose names only UTF-16 can spell.

#include "framework/Win32Handles.h"

#include <windows.h>

#include <string>

namespace tovra::test {

// A folder of the test's own in the temporary directory, named with characters outside code page
// 1252 (as a Polish or Russian user's folders are on an English-language system); `tag` keeps
// tests apart. Ends with a separator.
inline std::wstring ForeignTempFolder(const std::wstring& tag) {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    return std::wstring(temp) + L"tovra-" + tag + L"-\u0141\u00f3d\u017a-\u0416-" +
           std::to_wstring(::GetCurrentProcessId()) + L"\\";
}

// The whole file, read while others may be writing it; empty when it cannot be opened.
inline std::string ReadWholeFile(const std::wstring& path) {
    const UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (file && ::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
        text.append(buffer, read);
    return text;
}

} // namespace tovra::test
