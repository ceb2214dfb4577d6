#include "cycle/LogFile.h"

#include "framework/Win32Handles.h"

#include <shlobj.h>

#include <utility>

namespace tovra {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

// Opened for appending only: every write lands at the end of the file as it is at that moment,
// whoever else writes to it.
UniqueFileHandle OpenForAppend(const std::wstring& path) {
    return UniqueFileHandle(::CreateFileW(path.c_str(), FILE_APPEND_DATA, kShareAll, nullptr, OPEN_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
}

} // namespace

LogFile::LogFile(std::wstring path, std::uint64_t rotateBytes)
    : path_(std::move(path)), rotateBytes_(rotateBytes) {}

std::wstring LogFile::DefaultPath() {
    // SHGetFolderPath rather than SHGetKnownFolderPath, whose text must be freed with
    // CoTaskMemFree: that one import would load COM (ole32 and rpcrt4, over 1 MB) into a program
    // that has no other use for it.
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                  SHGFP_TYPE_CURRENT, folder)))
        return std::wstring();
    return std::wstring(folder) + L"\\Tovra\\Tovra.log";
}

std::wstring LogFile::RotatedPath() const {
    const std::size_t separator = path_.find_last_of(L"\\/");
    const std::size_t dot = path_.rfind(L'.');
    if (dot == std::wstring::npos || (separator != std::wstring::npos && dot < separator))
        return path_ + L".1";
    return path_.substr(0, dot) + L".1" + path_.substr(dot);
}

bool LogFile::Fail(DWORD error) {
    lastError_ = error;
    return false;
}

bool LogFile::Rotate(std::uint64_t size) {
    // A file that only just reached the limit goes aside whole.
    const bool moved = size > rotateBytes_ ? KeepOnlyTheTail(size)
                                           : ::MoveFileExW(path_.c_str(), RotatedPath().c_str(),
                                                           MOVEFILE_REPLACE_EXISTING) != 0;
    rotationError_ = moved ? ERROR_SUCCESS : ::GetLastError();
    if (!moved && rotationError_ == ERROR_SUCCESS)
        rotationError_ = ERROR_WRITE_FAULT;
    return moved;
}

// Renaming a 50 MB file would keep 50 MB for another round: the tail is copied instead, and the
// file emptied once the copy is whole, so that no line is lost when either step fails.
bool LogFile::KeepOnlyTheTail(std::uint64_t size) {
    const UniqueFileHandle source(::CreateFileW(path_.c_str(), GENERIC_READ, kShareAll, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!source)
        return false;
    // One byte more than is kept: the one before tells whether the tail starts a line.
    LARGE_INTEGER from{};
    from.QuadPart = static_cast<LONGLONG>(size - rotateBytes_ - 1);
    std::string tail(static_cast<std::size_t>(rotateBytes_) + 1, '\0');
    DWORD got = 0;
    if (!::SetFilePointerEx(source.get(), from, nullptr, FILE_BEGIN) ||
        !::ReadFile(source.get(), tail.data(), static_cast<DWORD>(tail.size()), &got, nullptr))
        return false;
    tail.resize(got);
    // From the first whole line on: half a line would read as a line of its own.
    const std::size_t lineEnd = tail.find('\n');
    tail.erase(0, lineEnd == std::string::npos ? 0 : lineEnd + 1);

    {
        const UniqueFileHandle rotated(::CreateFileW(RotatedPath().c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                                     nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!rotated ||
            !::WriteFile(rotated.get(), tail.data(), static_cast<DWORD>(tail.size()), &written, nullptr))
            return false;
        if (written != tail.size()) {
            ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
    }
    const UniqueFileHandle emptied(::CreateFileW(path_.c_str(), GENERIC_WRITE, kShareAll, nullptr,
                                                 TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(emptied);
}

bool LogFile::Append(std::string_view lines) {
    if (path_.empty())
        return Fail(ERROR_PATH_NOT_FOUND);
    UniqueFileHandle file = OpenForAppend(path_);
    if (!file && ::GetLastError() == ERROR_PATH_NOT_FOUND) {
        // A first run, or a user who cleared the folder away: make it again.
        const std::wstring folder = FolderOf(path_);
        const int created =
            folder.empty() ? ERROR_PATH_NOT_FOUND : ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
        if (created != ERROR_SUCCESS && created != ERROR_ALREADY_EXISTS)
            return Fail(static_cast<DWORD>(created));
        file = OpenForAppend(path_);
    }
    if (!file)
        return Fail(::GetLastError());

    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file.get(), &size) && size.QuadPart > 0 &&
        static_cast<std::uint64_t>(size.QuadPart) + lines.size() > rotateBytes_) {
        file.reset();
        Rotate(static_cast<std::uint64_t>(size.QuadPart));
        file = OpenForAppend(path_);
        if (!file)
            return Fail(::GetLastError());
    }

    DWORD written = 0;
    if (!::WriteFile(file.get(), lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr))
        return Fail(::GetLastError());
    if (written != lines.size())
        return Fail(ERROR_DISK_FULL);
    lastError_ = ERROR_SUCCESS;
    return true;
}

} // namespace tovra
