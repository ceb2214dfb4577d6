#pragma once
// Where on the server the page goes. The remote path the user types is one text (directory and file
// name); the FTP session needs the two apart, and a path that names only a directory is completed
// with the template's own file name.

#include <string>
#include <string_view>

namespace tovra {

struct RemotePath {
    std::string directory; // up to and including the last '/'; empty when there is none
    std::string fileName;  // everything after the last '/'
};

// "/htdocs/ip.html" -> "/htdocs/" and "ip.html"; "ip.html" -> "" and "ip.html"; "/" -> "/" and "".
RemotePath SplitRemotePath(std::string_view remotePath);

// The file name part of a local path: the text after its last '\' or '/'.
std::string_view LocalFileName(std::string_view localPath);

// A remote path that ends in '/' or '\' names a directory: the template's file name is appended.
// Returns the name that was appended, empty when the path was used as it is.
std::string CompleteRemotePath(std::string& remotePath, std::string_view templatePath);

// The name a page is stored under in its own folder before it is renamed over the page, so that
// a transfer cut short never leaves visitors half a page: "ip.html" -> "ip.html.part". Always
// the same for a page, so that what a cut transfer left is replaced by the next one.
std::string TemporaryRemoteName(std::string_view fileName);

} // namespace tovra
