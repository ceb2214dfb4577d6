#pragma once
// The program's compiled help file, "Tovra.chm", kept beside the program file. It is looked up
// there rather than in the current directory, which at log-on is not the program's folder.

#include <windows.h>

#include <string>

namespace tovra {

// The help file's full path beside the given module's file (the program when null). Empty when
// the module's file name cannot be read. Wide: a per-user install lies under the user's profile,
// whose name the system code page may not be able to spell.
std::wstring HelpFilePath(HMODULE module = nullptr);

// Opens the help file with its associated program, owned by owner. False when the file is
// missing or the shell could not open it; nothing is shown to the user then.
bool OpenHelpFile(HWND owner);

} // namespace tovra
