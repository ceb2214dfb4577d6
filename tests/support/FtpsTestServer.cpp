#include "tests/support/FtpsTestServer.h"

#include <windows.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tovra::test {

FtpsTestServer::FtpsTestServer(Kind kind, const FtpsTestServer* sameAuthorityAs) {
    const std::string certificates = sameAuthorityAs ? sameAuthorityAs->certificatesUnix_ : std::string("-");
    const bool vsftpd = kind != Kind::Pyftpdlib;
    if (vsftpd) {
        user_ = "anonymous";
        password_ = "tovra@example.com";
    } else {
        user_ = "tovra";
        password_ = "s3cret-over-tls";
    }
    const std::string arguments =
        vsftpd ? "vsftpd " + certificates + (kind == Kind::Vsftpd ? " reuse" : " noreuse")
               : "ftps " + certificates + " " + user_ + " " + password_;
    // Making four RSA keys takes a few seconds on a busy machine.
    process_ = std::make_unique<TestServerProcess>(arguments, std::chrono::seconds(40), "ftps_servers.py");
    const auto& words = process_->ReadyWords();
    if (words.size() != 4)
        throw std::runtime_error("unexpected READY line from the FTPS test server");
    port_ = static_cast<unsigned short>(std::stoi(words[0]));
    homeWindows_ = UnixPathToWindows(FromHex(words[1]));
    certificatesUnix_ = FromHex(words[2]);
    authority_ = FromHex(words[3]);
}

void FtpsTestServer::SetFault(const std::string& fault) {
    process_->Command("FAULT " + fault);
}

std::vector<std::string> FtpsTestServer::Commands() {
    std::vector<std::string> lines;
    process_->Command("COMMANDS", &lines);
    for (std::string& line : lines)
        line = FromHex(line);
    return lines;
}

std::string FtpsTestServer::WindowsPathOf(const std::string& relativePath) const {
    return homeWindows_ + "\\" + UnixPathToWindows("/" + relativePath).substr(3);
}

bool FtpsTestServer::FileExists(const std::string& relativePath) const {
    return GetFileAttributesA(WindowsPathOf(relativePath).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string FtpsTestServer::ReadFile(const std::string& relativePath) const {
    std::ifstream in(WindowsPathOf(relativePath), std::ios::binary);
    if (!in)
        throw std::runtime_error("no file " + relativePath + " on the FTPS test server");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void FtpsTestServer::WriteFile(const std::string& relativePath, const std::string& bytes) const {
    std::ofstream out(WindowsPathOf(relativePath), std::ios::binary);
    out << bytes;
    if (!out)
        throw std::runtime_error("cannot write " + relativePath + " on the FTPS test server");
}

} // namespace tovra::test
