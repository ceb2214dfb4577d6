#include "pages/TabPageTheme.h"

#include "framework/Win32Handles.h"

#include <string>

namespace tovra {
namespace {

// ETDT_ENABLE | ETDT_USETABTEXTURE; spelled out because older SDK headers lack the names.
constexpr DWORD kEnableTabTexture = 0x00000006;

using EnableThemeDialogTextureFunction = HRESULT(WINAPI*)(HWND, DWORD);

// From the system directory by full path, so that a uxtheme.dll lying in the current or the
// program's directory is never the one that gets loaded.
UniqueModule LoadSystemUxTheme() {
    char directory[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryA(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return UniqueModule();
    std::string path(directory, length);
    path += "\\uxtheme.dll";
    return UniqueModule(::LoadLibraryA(path.c_str()));
}

} // namespace

bool EnableTabPageTheme(HWND page) {
    const UniqueModule uxtheme = LoadSystemUxTheme();
    if (!uxtheme)
        return false;
    const FARPROC found = ::GetProcAddress(uxtheme.get(), "EnableThemeDialogTexture");
    if (found == nullptr)
        return false;
    // GetProcAddress hands back a generic pointer; the detour through void(*)() keeps the
    // function-type cast explicit.
    const auto enable =
        reinterpret_cast<EnableThemeDialogTextureFunction>(reinterpret_cast<void (*)()>(found));
    enable(page, kEnableTabTexture); // its result changes nothing we would do
    return true;
}

} // namespace tovra
