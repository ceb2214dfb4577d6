#pragma once
// The handle kinds the program owns, each as a UniqueHandle with its own release function.

#include "framework/UniqueHandle.h"

#include <windows.h>

namespace tovra {

// A handle whose empty value is null, released by Close.
template <typename H, auto Close> struct NullIsEmpty {
    using Handle = H;
    static Handle empty() noexcept { return nullptr; }
    static void close(Handle h) noexcept { Close(h); }
};
// CreateFile and FindFirstFile report failure with INVALID_HANDLE_VALUE rather than null.
template <auto Close> struct InvalidIsEmpty {
    using Handle = HANDLE;
    static Handle empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Handle h) noexcept { Close(h); }
};

using UniqueKernelHandle = UniqueHandle<NullIsEmpty<HANDLE, ::CloseHandle>>;
using UniqueFileHandle = UniqueHandle<InvalidIsEmpty<::CloseHandle>>;
using UniqueFindHandle = UniqueHandle<InvalidIsEmpty<::FindClose>>;
using UniqueRegKey = UniqueHandle<NullIsEmpty<HKEY, ::RegCloseKey>>;
using UniqueFont = UniqueHandle<NullIsEmpty<HFONT, ::DeleteObject>>;
using UniqueBrush = UniqueHandle<NullIsEmpty<HBRUSH, ::DeleteObject>>;
using UniqueBitmap = UniqueHandle<NullIsEmpty<HBITMAP, ::DeleteObject>>;
using UniqueModule = UniqueHandle<NullIsEmpty<HMODULE, ::FreeLibrary>>;
using UniqueMenu = UniqueHandle<NullIsEmpty<HMENU, ::DestroyMenu>>;
// Only for icons made with CreateIcon*/CopyIcon or loaded without LR_SHARED; shared icons are
// never destroyed.
using UniqueIcon = UniqueHandle<NullIsEmpty<HICON, ::DestroyIcon>>;
using UniqueWindow = UniqueHandle<NullIsEmpty<HWND, ::DestroyWindow>>;

} // namespace tovra
