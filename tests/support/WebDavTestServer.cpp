#include "tests/support/WebDavTestServer.h"

#include <windows.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tovra::test {

WebDavTestServer::WebDavTestServer() {
    // Two RSA keys take a few seconds on a busy machine.
    process_ = std::make_unique<TestServerProcess>("webdav " + user_ + " " + password_,
                                                   std::chrono::seconds(40), "webdav_server.py");
    const auto& words = process_->ReadyWords();
    if (words.size() != 3)
        throw std::runtime_error("unexpected READY line from the WebDAV test server");
    port_ = static_cast<unsigned short>(std::stoi(words[0]));
    rootWindows_ = UnixPathToWindows(FromHex(words[1]));
    authority_ = FromHex(words[2]);
}

bool WebDavTestServer::FileExists(const std::string& relativePath) const {
    const std::string path = rootWindows_ + "\\" + UnixPathToWindows("/" + relativePath).substr(3);
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string WebDavTestServer::ReadFile(const std::string& relativePath) const {
    std::ifstream in(rootWindows_ + "\\" + UnixPathToWindows("/" + relativePath).substr(3), std::ios::binary);
    if (!in)
        throw std::runtime_error("no file " + relativePath + " on the WebDAV test server");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace tovra::test
