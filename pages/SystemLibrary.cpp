#include "pages/SystemLibrary.h"

#include <string>

namespace tovra {

UniqueModule LoadSystemLibrary(const char* fileName) {
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
