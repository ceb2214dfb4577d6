#pragma once
// A file opened through CreateFileW and owned for its lifetime. Failures return false and keep
// the system's error code for the caller to report; nothing here throws.

#include "framework/Win32Handles.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tovra {

class File {
public:
    enum class Mode {
        // Read only. Others may read the file meanwhile but not change it under us.
        Read,
        // Created, or truncated if it exists; nobody else may open it while we hold it.
        CreateExclusive,
    };

    File() = default;
    File(File&&) noexcept = default;
    File& operator=(File&&) noexcept = default;

    // Closes whatever was open first. On failure LastError() tells why.
    bool Open(const std::wstring& path, Mode mode);
    void Close() noexcept { handle_.reset(); }

    // Reads up to `capacity` bytes into `buffer`; `bytesRead` is 0 at the end of the file.
    bool Read(void* buffer, std::uint32_t capacity, std::uint32_t& bytesRead);
    // Writes all of `data`, however many WriteFile calls that takes.
    bool Write(const void* data, std::size_t size);

    // The error code of the last failed operation (ERROR_SUCCESS if none failed).
    unsigned long LastError() const noexcept { return lastError_; }

private:
    bool Fail();

    UniqueFileHandle handle_;
    unsigned long lastError_ = 0;
};

} // namespace tovra
