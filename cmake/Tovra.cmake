# Shared build rules. Every folder declares its targets with these functions so that warnings,
# sanitizers and the Wine test runner are set in one place.

set(TOVRA_WARNINGS -Wall -Wextra -Werror)

if(TOVRA_WINDOWS)
    # Narrow (A) Win32 functions throughout. Windows 7 is the oldest system the program runs on: the
    # timer counts awake time with QueryUnbiasedInterruptTime, which Windows 7 introduced.
    set(TOVRA_DEFINES WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0600)
    set(TOVRA_SANITIZE "")
else()
    set(TOVRA_DEFINES "")
    set(TOVRA_SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
endif()

function(tovra_target_settings target)
    target_compile_options(${target} PRIVATE ${TOVRA_WARNINGS} ${TOVRA_SANITIZE})
    target_compile_definitions(${target} PUBLIC ${TOVRA_DEFINES})
    target_link_options(${target} PRIVATE ${TOVRA_SANITIZE})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
endfunction()

# tovra_library(<name> [PORTABLE src...] [WINDOWS src...] [DEPENDS lib...] [WINDOWS_LIBS syslib...])
# Makes tovra_<name>_portable from the platform-free sources (built in both configurations) and,
# in the Windows configuration, tovra_<name> from the Win32 sources on top of it. A part without
# sources of one kind still gets its target, as an interface library.
function(tovra_library name)
    cmake_parse_arguments(ARG "" "" "PORTABLE;WINDOWS;DEPENDS;WINDOWS_LIBS" ${ARGN})
    set(portable tovra_${name}_portable)
    if(ARG_PORTABLE)
        add_library(${portable} STATIC ${ARG_PORTABLE})
        tovra_target_settings(${portable})
        foreach(dep IN LISTS ARG_DEPENDS)
            target_link_libraries(${portable} PUBLIC ${dep}_portable)
        endforeach()
    else()
        add_library(${portable} INTERFACE)
        target_include_directories(${portable} INTERFACE ${PROJECT_SOURCE_DIR})
        target_compile_definitions(${portable} INTERFACE ${TOVRA_DEFINES})
    endif()
    if(TOVRA_WINDOWS)
        set(win tovra_${name})
        if(ARG_WINDOWS)
            add_library(${win} STATIC ${ARG_WINDOWS})
            tovra_target_settings(${win})
            target_link_libraries(${win} PUBLIC ${portable} ${ARG_DEPENDS} ${ARG_WINDOWS_LIBS})
        else()
            add_library(${win} INTERFACE)
            target_link_libraries(${win} INTERFACE ${portable} ${ARG_DEPENDS} ${ARG_WINDOWS_LIBS})
        endif()
    endif()
endfunction()

# tovra_host_test(<name> SOURCES src... LIBS lib...): a GoogleTest program for the host build
# (sanitizers on). Ignored in the Windows configuration.
function(tovra_host_test name)
    if(TOVRA_WINDOWS)
        return()
    endif()
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    tovra_target_settings(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main GTest::gmock)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS host)
endfunction()

# tovra_win_test(<name> SOURCES src... LIBS lib... [TIMEOUT s] [DISPLAY] [TRUSTS] [FILTER gtest-filter]
#                [PROPERTIES prop value...])
# A GoogleTest program for Windows, run under Wine through the emulator wrapper. DISPLAY marks
# tests that use windows, focus, menus or the tray: they run one at a time. TRUSTS marks tests that
# make a test authority trusted (TrustedAuthority): they share that lock. FILTER keeps tests out
# of CTest that only a script of their own can run (in a network namespace, say). PROPERTIES are
# added to every test the program holds.
function(tovra_win_test name)
    if(NOT TOVRA_WINDOWS)
        return()
    endif()
    cmake_parse_arguments(ARG "DISPLAY;TRUSTS" "TIMEOUT;FILTER" "SOURCES;LIBS;PROPERTIES" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 60)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    tovra_target_settings(${name})
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/WinTestMain.cpp)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
    set(props LABELS windows TIMEOUT ${ARG_TIMEOUT})
    # A process that reads the prefix's trusted roots (Wine does so once, at its first chain) while
    # another test program adds or takes out its own authority can miss one still in the store:
    # measured, "not trusted" in about one run in ten with two such programs side by side. So they
    # run one at a time, under the display tests' lock: a second lock would not survive
    # gtest_discover_tests, and the end-to-end tests, which hold that one, trust an authority too.
    if(ARG_DISPLAY OR ARG_TRUSTS)
        list(APPEND props RESOURCE_LOCK display)
    endif()
    list(APPEND props ${ARG_PROPERTIES})
    set(filter)
    if(ARG_FILTER)
        set(filter TEST_FILTER ${ARG_FILTER})
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 ${filter} PROPERTIES ${props})
endfunction()

include(GoogleTest)

# tovra_fuzzer(<name> SOURCES src... LIBS lib... [RUNS n]): a libFuzzer target for the host build
# (with ASan and UBSan), registered as a CTest smoke run of a bounded number of inputs so that the
# test command keeps it compiling and crash-free. Longer campaigns: run the binary by hand.
function(tovra_fuzzer name)
    if(TOVRA_WINDOWS)
        return()
    endif()
    cmake_parse_arguments(ARG "" "RUNS" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_RUNS)
        set(ARG_RUNS 50000)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    tovra_target_settings(${name})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    # Crash artifacts go to the build folder, never into the working tree.
    add_test(NAME ${name} COMMAND ${name} -runs=${ARG_RUNS} -seed=1 -artifact_prefix=${CMAKE_CURRENT_BINARY_DIR}/)
    set_tests_properties(${name} PROPERTIES LABELS "host;fuzz" TIMEOUT 120)
endfunction()
