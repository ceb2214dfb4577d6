#include "upload/TemplatePath.h"

namespace tovra {
namespace {

bool IsSeparator(char c) noexcept {
    return c == '\\' || c == '/';
}

bool IsDriveLetter(char c) noexcept {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

bool IsRootedPath(std::string_view path) noexcept {
    if (!path.empty() && IsSeparator(path[0]))
        return true;
    return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':';
}

std::string_view FolderOf(std::string_view filePath) noexcept {
    const std::size_t last = filePath.find_last_of("\\/");
    return last == std::string_view::npos ? std::string_view() : filePath.substr(0, last + 1);
}

std::string ResolveAgainstFolder(std::string_view folder, std::string_view path) {
    if (path.empty() || IsRootedPath(path) || folder.empty())
        return std::string(path);
    std::string resolved(folder);
    if (!IsSeparator(resolved.back()))
        resolved += '\\';
    resolved += path;
    return resolved;
}

} // namespace tovra
