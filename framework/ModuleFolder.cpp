#include "framework/ModuleFolder.h"

#include <vector>

namespace tovra {

std::wstring ModuleFolder(HMODULE module) {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        // A full buffer means the name was cut; older systems say so only by filling it.
        if (length < path.size() - 1) {
            const std::wstring file(path.data(), length);
            const std::wstring::size_type separator = file.find_last_of(L"\\/");
            return separator == std::wstring::npos ? std::wstring() : file.substr(0, separator + 1);
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}

} // namespace tovra
