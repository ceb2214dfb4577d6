#include "upload/RemotePath.h"

namespace tovra {

RemotePath SplitRemotePath(std::string_view remotePath) {
    const std::size_t slash = remotePath.rfind('/');
    if (slash == std::string_view::npos)
        return {std::string(), std::string(remotePath)};
    return {std::string(remotePath.substr(0, slash + 1)), std::string(remotePath.substr(slash + 1))};
}

std::string_view LocalFileName(std::string_view localPath) {
    // Windows accepts both separators, and a template path typed by hand may use either.
    const std::size_t separator = localPath.find_last_of("\\/");
    return separator == std::string_view::npos ? localPath : localPath.substr(separator + 1);
}

std::string CompleteRemotePath(std::string& remotePath, std::string_view templatePath) {
    if (remotePath.empty())
        return std::string();
    const char last = remotePath.back();
    if (last != '/' && last != '\\')
        return std::string();
    std::string name(LocalFileName(templatePath));
    remotePath += name;
    return name;
}

std::string TemporaryRemoteName(std::string_view fileName) {
    return std::string(fileName) + ".part";
}

} // namespace tovra
