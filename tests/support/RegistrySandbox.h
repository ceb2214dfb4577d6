#pragma once
// An empty HKEY_CURRENT_USER for one test, at the cost of creating and deleting one key.
//
//     TEST(SettingsTest, SavedSettingsAreReadBack) {
//         tovra::test::RegistrySandbox registry;   // HKEY_CURRENT_USER is empty from here on
//         ... code that reads and writes HKEY_CURRENT_USER ...
//     }                                            // and everything written is gone here
//
// While the object lives, RegOverridePredefKey makes HKEY_CURRENT_USER of this process mean a
// fresh key under the prefix's real one (Software\TovraRegistrySandbox\<process>.<n>). Under
// Wine 8 that holds for every caller in the process, system DLLs included: WinINet, for one, then
// reads its proxy settings from the sandbox. The override is per process: programs this test
// starts see the real hive. Tests that run at the same time are separate processes, so they
// never see each other's values; within one process only one sandbox may exist at a time.
//
// Threads: construct and destroy on one thread, with no other thread of the process using the
// registry at that moment (the switch is process-wide and not synchronised with other callers).

#include "framework/Win32Handles.h"

#include <string>

namespace tovra::test {

class RegistrySandbox {
public:
    // Throws std::runtime_error when the key cannot be made or the override is refused, and
    // std::logic_error when another sandbox is active in this process.
    RegistrySandbox();
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // The key that HKEY_CURRENT_USER stands for while the sandbox lives.
    HKEY Root() const { return root_.get(); }
    // Its path under the real HKEY_CURRENT_USER, for tests that check what reached the real hive.
    const std::string& RealPath() const { return path_; }

private:
    std::string path_;
    UniqueRegKey root_;
};

} // namespace tovra::test
