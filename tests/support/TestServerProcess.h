#pragma once
// One loopback test server (tests/support/test_servers.py) run by Debian's /usr/bin/python3 and
// driven over a line-based control connection. Used by FtpTestServer and EchoProxyServer; tests
// normally use those.
//
// How it works under Wine (measured): CreateProcessA starts the native python when given its
// path on the Z: drive, but the process handle it returns can be neither waited for nor
// terminated. So the server's lifetime hangs on a socket instead: this object listens on a free
// loopback port, the server connects back, reports its own free port and then obeys commands.
// When the connection closes (Stop, the destructor, or this test program ending in any way), the
// server exits by itself. Every wait here has a deadline; none is a fixed sleep.

#include <winsock2.h>

#include <chrono>
#include <string>
#include <vector>

namespace tovra::test {

class TestServerProcess {
public:
    // Starts `test_servers.py <arguments>` (or another script of this folder) and waits (at most
    // `timeout`) for its READY line. Throws std::runtime_error when the server cannot be started.
    explicit TestServerProcess(const std::string& arguments,
                               std::chrono::milliseconds timeout = std::chrono::seconds(15),
                               const std::string& script = "test_servers.py");
    ~TestServerProcess();
    TestServerProcess(const TestServerProcess&) = delete;
    TestServerProcess& operator=(const TestServerProcess&) = delete;

    // The words of the READY line after "READY".
    const std::vector<std::string>& ReadyWords() const { return readyWords_; }

    // Sends one command and returns the reply's first line; `extraLines` more lines follow when
    // the reply is "OK <n>" (n lines). Throws std::runtime_error on "ERR" or a broken channel.
    std::string Command(const std::string& line, std::vector<std::string>* extraLines = nullptr);

    // Ends the server: its port then refuses connections. Safe to call twice.
    void Stop();
    bool Running() const { return control_ != INVALID_SOCKET; }

private:
    std::string ReadLine(std::chrono::steady_clock::time_point deadline);

    SOCKET control_ = INVALID_SOCKET;
    std::string pending_;
    std::vector<std::string> readyWords_;
};

// "/tmp/x" -> "Z:\tmp\x": Wine maps the Unix root to drive Z:.
std::string UnixPathToWindows(const std::string& unixPath);

// Decodes the hex texts of the control protocol ("-" is the empty text).
std::string FromHex(const std::string& hex);
std::string ToHex(const std::string& bytes);

} // namespace tovra::test
