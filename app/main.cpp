// tovra.exe: the program's entry point. Everything else is the application's.

#include "app/TovraApp.h"

#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // The whole command line, program path included: the uninstall test looks at its very end.
    tovra::CTovraApp application(instance);
    return application.Run(::GetCommandLineA());
}

// What the C++ runtime calls for an exception that nothing caught. Its own version writes the
// exception's type to standard error, which a windowed program does not have, and brings a symbol
// demangler into the program (a twentieth of its size); abort() is what it does after writing.
// Test programs keep the runtime's, whose message a console shows.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx
