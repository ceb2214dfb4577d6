#pragma once
// A real FTP server (pyftpdlib) on a free loopback port, with a temporary home, one user and
// switchable faults. It starts in the constructor and is gone after Stop() or the destructor.
//
//     tovra::test::FtpTestServer ftp;                 // user "tovra", password "secret"
//     connect to 127.0.0.1 : ftp.Port() with ftp.User(), ftp.Password();
//     ftp.SetFault(tovra::test::FtpFault::StoreRefused);
//     EXPECT_EQ(ftp.ReadFile("ip.html"), "...");     // what arrived in the home folder
//     ftp.Stop();                                    // "server gone": the port now refuses
//
// Stores in ASCII mode arrive with CR LF turned into LF (pyftpdlib does that). Failed logins
// are answered at once (no 3-second penalty). An unknown host ("nowhere.invalid") fails name
// resolution, as WinINet's FTP ignores the proxy.
// In CMake: tovra_win_test(... LIBS ... tovra_test_support TIMEOUT 60). Use one object from one
// thread at a time.

#include "tests/support/TestServerProcess.h"

#include <memory>
#include <string>

namespace tovra::test {

enum class FtpFault {
    None,
    LoginRefused,       // every login gets "530 Login refused by the test."
    DirectoryRefused,   // every CWD gets "550 Directory change refused by the test."
    StoreRefused,       // every STOR gets "553 Store refused by the test."
    DropDuringTransfer, // control and data connections close when the first stored bytes arrive
    CutAfter2000Bytes,  // a store keeps its first 2,000 bytes, then both connections close
    Hang,               // new connections are accepted and never answered, not even a greeting
    HangUp,             // new connections are closed at once: the client's error carries no text
    HangOnDirectory,    // CWD is never answered
    HangOnStore,        // STOR is never answered
    TrickleGreeting,    // the greeting is continued with a "220-" line every 0.3 s, for ever
    PassiveElsewhere,   // PASV names 127.0.0.2, where a catcher counts what arrives (Caught())
    RenameOverRefused,  // a rename onto an existing file gets "550 ..."
    RenameRefused,      // every RNFR gets "550 Rename refused by the test."
    ActiveDataBlocked,  // an active-mode data connection cannot be made: "425 Can't connect ..."
};

// What arrived at the address a PassiveElsewhere reply named.
struct CaughtData {
    int connections = 0;
    long long bytes = 0;
};

class FtpTestServer {
public:
    explicit FtpTestServer(std::string user = "tovra", std::string password = "secret");

    unsigned short Port() const { return port_; }
    const std::string& User() const { return user_; }
    const std::string& Password() const { return password_; }

    // The temporary home (the user's root "/"), as Wine sees it ("Z:\tmp\tovra-ftp-...") and as
    // the host sees it. Removed when the server stops.
    const std::string& HomeWindowsPath() const { return homeWindows_; }
    const std::string& HomeUnixPath() const { return homeUnix_; }

    // Applies to every command from now on, on every connection.
    void SetFault(FtpFault fault);

    // A file below the home, by its path relative to the home with '/' separators.
    bool FileExists(const std::string& relativePath) const;
    std::string ReadFile(const std::string& relativePath) const;
    void WriteFile(const std::string& relativePath, const std::string& bytes) const;
    CaughtData Caught();
    // Creates a folder below the home (for directory changes that should succeed).
    void MakeDirectory(const std::string& relativePath) const;

    void Stop();

private:
    std::string WindowsPathOf(const std::string& relativePath) const;

    std::string user_;
    std::string password_;
    std::unique_ptr<TestServerProcess> process_;
    unsigned short port_ = 0;
    std::string homeUnix_;
    std::string homeWindows_;
};

} // namespace tovra::test
