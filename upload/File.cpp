#include "upload/File.h"

#include <algorithm>

namespace tovra {

bool File::Fail() {
    lastError_ = ::GetLastError();
    return false;
}

bool File::Open(const std::wstring& path, Mode mode) {
    Close();
    lastError_ = ERROR_SUCCESS;
    const bool reading = mode == Mode::Read;
    handle_.reset(::CreateFileW(path.c_str(), reading ? GENERIC_READ : GENERIC_WRITE,
                                reading ? FILE_SHARE_READ : 0, nullptr,
                                reading ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return handle_ ? true : Fail();
}

bool File::Read(void* buffer, std::uint32_t capacity, std::uint32_t& bytesRead) {
    bytesRead = 0;
    if (!handle_) {
        lastError_ = ERROR_INVALID_HANDLE;
        return false;
    }
    DWORD count = 0;
    if (!::ReadFile(handle_.get(), buffer, capacity, &count, nullptr))
        return Fail();
    bytesRead = count;
    return true;
}

bool File::Write(const void* data, std::size_t size) {
    if (!handle_) {
        lastError_ = ERROR_INVALID_HANDLE;
        return false;
    }
    const auto* next = static_cast<const char*>(data);
    // WriteFile takes a 32-bit count and may write less than asked.
    constexpr std::size_t kLargestWrite = 1u << 30;
    while (size > 0) {
        const DWORD request = static_cast<DWORD>(std::min(size, kLargestWrite));
        DWORD written = 0;
        if (!::WriteFile(handle_.get(), next, request, &written, nullptr))
            return Fail();
        if (written == 0) {
            lastError_ = ERROR_WRITE_FAULT;
            return false;
        }
        next += written;
        size -= written;
    }
    return true;
}

} // namespace tovra
