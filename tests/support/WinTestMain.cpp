// The entry point of every Windows test program. Once the tests have run and their output is
// written, the process ends at once with their result: under Wine an ordinary exit, which tears
// down the runtime and the DLLs while threads left behind by design (a worker abandoned in a hung
// network call) may still run, crashed now and then after every test had passed. The program's
// own way out is tested from outside, by the end-to-end tests.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::fflush(stdout);
    std::fflush(stderr);
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(result));
    return result;
}
