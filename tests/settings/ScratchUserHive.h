#pragma once
// Gives a test an empty HKEY_CURRENT_USER of its own: a fresh key under the real one, which
// RegOverridePredefKey makes this process's HKEY_CURRENT_USER until the scope ends, when the key
// and everything written under it are removed. Each test runs in its own process, so tests that
// run at the same time never see each other's values.

#include "framework/Win32Handles.h"

#include <gtest/gtest.h>

#include <string>

namespace tovra::testing {

class ScratchUserHive {
public:
    ScratchUserHive() : path_("Software\\TovraTests\\" + std::to_string(::GetCurrentProcessId())) {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
        EXPECT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, root_.put(), nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(::RegOverridePredefKey(HKEY_CURRENT_USER, root_.get()), ERROR_SUCCESS);
    }
    ~ScratchUserHive() {
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        root_.reset();
        ::RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    }
    ScratchUserHive(const ScratchUserHive&) = delete;
    ScratchUserHive& operator=(const ScratchUserHive&) = delete;

    // True when `subkey` exists in the scratch hive.
    bool HasKey(const char* subkey) const {
        UniqueRegKey key;
        return ::RegOpenKeyExA(root_.get(), subkey, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
    }

    // Writes a value as another program might: any type, any bytes.
    void WriteRaw(const char* subkey, const char* name, DWORD type, const void* data, DWORD size) const {
        UniqueRegKey key;
        ASSERT_EQ(::RegCreateKeyExA(root_.get(), subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                    nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(::RegSetValueExA(key.get(), name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }

    // The value's stored bytes and type, read directly; false when it is missing.
    bool ReadRaw(const char* subkey, const char* name, std::string& bytes, DWORD& type) const {
        UniqueRegKey key;
        if (::RegOpenKeyExA(root_.get(), subkey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
            return false;
        DWORD size = 0;
        if (::RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return false;
        bytes.assign(size, '\0');
        if (::RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()),
                               &size) != ERROR_SUCCESS)
            return false;
        bytes.resize(size);
        return true;
    }

private:
    std::string path_;
    UniqueRegKey root_;
};

} // namespace tovra::testing
