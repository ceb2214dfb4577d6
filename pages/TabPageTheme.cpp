#include "pages/TabPageTheme.h"

#include "framework/SystemLibrary.h"

namespace tovra {
namespace {

// ETDT_ENABLE | ETDT_USETABTEXTURE; spelled out because older SDK headers lack the names.
constexpr DWORD kEnableTabTexture = 0x00000006;

using EnableThemeDialogTextureFunction = HRESULT(WINAPI*)(HWND, DWORD);

} // namespace

bool EnableTabPageTheme(HWND page) {
    const UniqueModule uxtheme = LoadSystemLibrary("uxtheme.dll");
    const auto enable =
        SystemFunction<EnableThemeDialogTextureFunction>(uxtheme.get(), "EnableThemeDialogTexture");
    if (enable == nullptr)
        return false;
    enable(page, kEnableTabTexture); // its result changes nothing we would do
    return true;
}

} // namespace tovra
