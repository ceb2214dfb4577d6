#pragma once
// The log on disk, so that "why was my page not updated last night?" has an answer after a reboot:
// whole lines appended to one file (normally %LOCALAPPDATA%\Tovra\Tovra.log), across runs. When
// the file would pass kRotateBytes it becomes Tovra.1.log, replacing an older one, and a new file
// starts, so about twice that is ever kept. A file already far larger (from an older version, or
// one that could not be moved aside for a long time) leaves only its last kRotateBytes, from a
// line's start, in Tovra.1.log. When the full file cannot be moved aside (Tovra.1.log held open
// by a reader that allows no replacing), the lines go on into it, RotationError() says why, and
// each later append tries again.
//
// The file is opened for each append and closed again, with every kind of sharing, so that a user,
// a text editor or a second copy of the program may open, read or even delete it at any time; each
// append is one write at the end of the file, so lines of two writers never overwrite each other.
// A failed append changes nothing and costs no more than the failed open: the caller decides what
// to tell the user. Paths are wide: the user's folder may have a name that the system's code page
// cannot spell.
//
// Threads: one thread at a time (the log writer's).

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tovra {

class LogFile {
public:
    static constexpr std::uint64_t kRotateBytes = 1024 * 1024;

    // `path` names the file; its folder is created when missing. An empty path makes every
    // append fail.
    explicit LogFile(std::wstring path, std::uint64_t rotateBytes = kRotateBytes);

    // %LOCALAPPDATA%\Tovra\Tovra.log; empty when the system names no such folder.
    static std::wstring DefaultPath();

    // Appends `lines` (whole lines, each ending in CR LF) at the end of the file, after moving a
    // file that would pass the size limit aside. False when nothing was written; LastError() then
    // tells why.
    bool Append(std::string_view lines);

    const std::wstring& Path() const noexcept { return path_; }
    // Where a full file goes: "Tovra.1.log" beside "Tovra.log".
    std::wstring RotatedPath() const;
    DWORD LastError() const noexcept { return lastError_; }
    // Why the last append that found the file full could not move it aside; ERROR_SUCCESS once a
    // later one has.
    DWORD RotationError() const noexcept { return rotationError_; }

private:
    bool Fail(DWORD error);
    // Moves the full file aside; false, with rotationError_ set, when it stays where it is.
    bool Rotate(std::uint64_t size);
    bool KeepOnlyTheTail(std::uint64_t size);

    const std::wstring path_;
    const std::uint64_t rotateBytes_;
    DWORD lastError_ = ERROR_SUCCESS;
    DWORD rotationError_ = ERROR_SUCCESS;
};

} // namespace tovra
