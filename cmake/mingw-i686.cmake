# Cross toolchain: 32-bit Windows with mingw-w64's posix-thread compilers.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# A dynamically linked exe does not start under Wine (the mingw runtime DLLs are missing there).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Nothing of ours asks an object its type at run time (no dynamic_cast, no typeid); without the
# type tables the program is smaller, and thrown exceptions still carry what their handlers need.
# Every Windows build uses it, so the tests run what the release runs.
set(CMAKE_CXX_FLAGS_INIT "-fno-rtti")
