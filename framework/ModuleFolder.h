#pragma once
// The folder a module's file lies in. The program keeps its help file and its sample template
// there, and a relative template path is taken from there: at log-on the current directory is not
// the program's folder.

#include <windows.h>

#include <string>

namespace tovra {

// The folder of the module's file (the program's when null), with its trailing separator; empty
// when the name cannot be read. Wide: a per-user install lies under the user's profile, whose name
// the system code page may not be able to spell.
std::wstring ModuleFolder(HMODULE module = nullptr);

} // namespace tovra
