#pragma once
// Loading a system DLL at run time, for the features that need one only now and then.

#include "framework/Win32Handles.h"

#include <windows.h>

namespace tovra {

// fileName ("uxtheme.dll") from the system directory only, so that a DLL of that name lying in
// the current or the program's directory is never the one that gets loaded. Empty when it
// cannot be loaded.
UniqueModule LoadSystemLibrary(const char* fileName);

// The function `name` of `module` as type Fn, or null. GetProcAddress hands back a generic
// pointer; the detour through void(*)() keeps the function-type cast explicit.
template <typename Fn> Fn SystemFunction(HMODULE module, const char* name) {
    const FARPROC found = module ? ::GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(found));
}

} // namespace tovra
