#include "framework/SystemLibrary.h"

#include <string>

namespace tovra {

UniqueModule LoadSystemLibrary(const char* fileName) {
    // The flag also keeps the DLL's own imports to the system directory; Windows 7 without
    // KB2533623 refuses it as an unknown flag, and there the full path is the safe way.
    if (HMODULE module = ::LoadLibraryExA(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32))
        return UniqueModule(module);
    if (::GetLastError() != ERROR_INVALID_PARAMETER)
        return UniqueModule();
    char directory[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryA(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return UniqueModule();
    std::string path(directory, length);
    path += '\\';
    path += fileName;
    return UniqueModule(::LoadLibraryA(path.c_str()));
}

} // namespace tovra
