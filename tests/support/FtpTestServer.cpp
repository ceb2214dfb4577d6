#include "tests/support/FtpTestServer.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tovra::test {

namespace {

const char* FaultName(FtpFault fault) {
    switch (fault) {
    case FtpFault::None:
        return "none";
    case FtpFault::LoginRefused:
        return "login";
    case FtpFault::DirectoryRefused:
        return "cwd";
    case FtpFault::StoreRefused:
        return "stor";
    case FtpFault::DropDuringTransfer:
        return "drop";
    case FtpFault::Hang:
        return "hang";
    case FtpFault::HangUp:
        return "hang_up";
    case FtpFault::HangOnDirectory:
        return "hang_cwd";
    case FtpFault::HangOnStore:
        return "hang_stor";
    case FtpFault::TrickleGreeting:
        return "trickle";
    case FtpFault::CutAfter2000Bytes:
        return "cut";
    case FtpFault::PassiveElsewhere:
        return "pasv_elsewhere";
    case FtpFault::RenameOverRefused:
        return "rename_over";
    case FtpFault::RenameRefused:
        return "rename";
    case FtpFault::ActiveDataBlocked:
        return "active_blocked";
    }
    return "none";
}

} // namespace

FtpTestServer::FtpTestServer(std::string user, std::string password)
    : user_(std::move(user)), password_(std::move(password)),
      process_(std::make_unique<TestServerProcess>("ftp " + user_ + " " + password_)) {
    const auto& words = process_->ReadyWords();
    if (words.size() != 2)
        throw std::runtime_error("unexpected READY line from the FTP test server");
    port_ = static_cast<unsigned short>(std::stoi(words[0]));
    homeUnix_ = FromHex(words[1]);
    homeWindows_ = UnixPathToWindows(homeUnix_);
}

void FtpTestServer::SetFault(FtpFault fault) {
    process_->Command(std::string("FAULT ") + FaultName(fault));
}

std::string FtpTestServer::WindowsPathOf(const std::string& relativePath) const {
    return homeWindows_ + "\\" + UnixPathToWindows("/" + relativePath).substr(3);
}

bool FtpTestServer::FileExists(const std::string& relativePath) const {
    return GetFileAttributesA(WindowsPathOf(relativePath).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string FtpTestServer::ReadFile(const std::string& relativePath) const {
    std::ifstream in(WindowsPathOf(relativePath), std::ios::binary);
    if (!in)
        throw std::runtime_error("no file " + relativePath + " on the FTP test server");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void FtpTestServer::WriteFile(const std::string& relativePath, const std::string& bytes) const {
    std::ofstream(WindowsPathOf(relativePath), std::ios::binary) << bytes;
}

CaughtData FtpTestServer::Caught() {
    const std::string reply = process_->Command("CAUGHT");
    CaughtData caught;
    std::sscanf(reply.c_str(), "OK %d %lld", &caught.connections, &caught.bytes);
    return caught;
}

void FtpTestServer::MakeDirectory(const std::string& relativePath) const {
    if (!CreateDirectoryA(WindowsPathOf(relativePath).c_str(), nullptr))
        throw std::runtime_error("cannot create " + relativePath + " on the FTP test server");
}

void FtpTestServer::Stop() {
    process_->Stop();
}

} // namespace tovra::test
