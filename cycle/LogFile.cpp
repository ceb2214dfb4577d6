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
        // The full file goes aside whole. Should a reader that allows no renaming hold it, the
        // lines go on into it, and the next append tries again.
        file.reset();
        ::MoveFileExW(path_.c_str(), RotatedPath().c_str(), MOVEFILE_REPLACE_EXISTING);
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
