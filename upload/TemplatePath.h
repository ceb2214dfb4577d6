#pragma once
// Where the template file is. A relative template path (the default "Tovra.html" is one) names a
// file in the program's own folder: the current directory at log-on is some other folder, and a
// file dialog may move it at any time. Platform-free; Windows path rules. Each function takes
// code-page texts (as the settings store them) and UTF-16 ones (as the program's own folder is
// known) alike.

#include <string>
#include <string_view>

namespace tovra {

// True for "C:\x", "C:x", "\x", "/x" and "\\server\share": paths that do not depend on the current
// directory's folder. Drive-relative "C:x" counts as rooted: it names no folder of ours.
bool IsRootedPath(std::string_view path) noexcept;
bool IsRootedPath(std::wstring_view path) noexcept;

// The folder part of a file path, with its trailing separator: "C:\Tovra\" for "C:\Tovra\x.exe";
// empty when there is no separator.
std::string_view FolderOf(std::string_view filePath) noexcept;
std::wstring_view FolderOf(std::wstring_view filePath) noexcept;

// `path` when it is rooted or empty, else `folder` joined with it.
std::string ResolveAgainstFolder(std::string_view folder, std::string_view path);
std::wstring ResolveAgainstFolder(std::wstring_view folder, std::wstring_view path);

} // namespace tovra
