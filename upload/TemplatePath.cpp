#include "upload/TemplatePath.h"

namespace tovra {
namespace {

template <typename Char> bool IsSeparator(Char c) noexcept {
    return c == Char('\\') || c == Char('/');
}

template <typename Char> bool IsDriveLetter(Char c) noexcept {
    return (c >= Char('A') && c <= Char('Z')) || (c >= Char('a') && c <= Char('z'));
}

template <typename Char> bool IsRooted(std::basic_string_view<Char> path) noexcept {
    if (!path.empty() && IsSeparator(path[0]))
        return true;
    return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == Char(':');
}

template <typename Char> std::basic_string_view<Char> Folder(std::basic_string_view<Char> filePath) noexcept {
    std::size_t last = filePath.size();
    while (last > 0 && !IsSeparator(filePath[last - 1]))
        --last;
    return filePath.substr(0, last);
}

template <typename Char>
std::basic_string<Char> Resolve(std::basic_string_view<Char> folder, std::basic_string_view<Char> path) {
    if (path.empty() || IsRooted(path) || folder.empty())
        return std::basic_string<Char>(path);
    std::basic_string<Char> resolved(folder);
    if (!IsSeparator(resolved.back()))
        resolved += Char('\\');
    resolved += path;
    return resolved;
}

} // namespace

bool IsRootedPath(std::string_view path) noexcept {
    return IsRooted(path);
}

bool IsRootedPath(std::wstring_view path) noexcept {
    return IsRooted(path);
}

std::string_view FolderOf(std::string_view filePath) noexcept {
    return Folder(filePath);
}

std::wstring_view FolderOf(std::wstring_view filePath) noexcept {
    return Folder(filePath);
}

std::string ResolveAgainstFolder(std::string_view folder, std::string_view path) {
    return Resolve(folder, path);
}

std::wstring ResolveAgainstFolder(std::wstring_view folder, std::wstring_view path) {
    return Resolve(folder, path);
}

} // namespace tovra
