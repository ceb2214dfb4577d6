// tovra.exe: the program's entry point. Everything else is the application's.

#include "app/TovraApp.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The whole command line, program path included: the uninstall test looks at its very end.
    tovra::CTovraApp application(instance);
    return application.Run(::GetCommandLineA());
}
