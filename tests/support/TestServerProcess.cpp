#include "tests/support/TestServerProcess.h"

#include "framework/Win32Handles.h"

#include <ws2tcpip.h>

#include <stdexcept>

namespace tovra::test {

namespace {

using Clock = std::chrono::steady_clock;

void EnsureWinsock() {
    // Once per process; never cleaned up, as the servers may be stopped by static destructors.
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started)
        throw std::runtime_error("WSAStartup failed");
}

class Socket {
public:
    Socket() : s_(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {
        if (s_ == INVALID_SOCKET)
            throw std::runtime_error("socket() failed");
    }
    explicit Socket(SOCKET s) : s_(s) {}
    ~Socket() {
        if (s_ != INVALID_SOCKET)
            ::closesocket(s_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    SOCKET get() const { return s_; }
    SOCKET release() { return std::exchange(s_, INVALID_SOCKET); }

private:
    SOCKET s_;
};

sockaddr_in Loopback(unsigned short port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// Waits until `s` is readable or the deadline passes.
bool WaitReadable(SOCKET s, Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0)
        return false;
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval tv{static_cast<long>(left.count() / 1000), static_cast<long>((left.count() % 1000) * 1000)};
    return ::select(0, &set, nullptr, nullptr, &tv) == 1;
}

bool PortAcceptsConnections(unsigned short port) {
    Socket probe;
    const sockaddr_in address = Loopback(port);
    return ::connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    std::string::size_type pos = 0;
    while (pos < line.size()) {
        const auto start = line.find_first_not_of(' ', pos);
        if (start == std::string::npos)
            break;
        const auto end = line.find(' ', start);
        words.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
        pos = end == std::string::npos ? line.size() : end;
    }
    return words;
}

} // namespace

std::string UnixPathToWindows(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string FromHex(const std::string& hex) {
    if (hex == "-")
        return {};
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string ToHex(const std::string& bytes) {
    if (bytes.empty())
        return "-";
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex.push_back(digits[c >> 4]);
        hex.push_back(digits[c & 15]);
    }
    return hex;
}

TestServerProcess::TestServerProcess(const std::string& arguments, std::chrono::milliseconds timeout,
                                     const std::string& script) {
    EnsureWinsock();
    const auto deadline = Clock::now() + timeout;

    Socket listener;
    sockaddr_in address = Loopback(0);
    int length = sizeof address;
    if (::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener.get(), 1) != 0 ||
        ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot listen for the test server's control connection");

    const std::string folder = TOVRA_TEST_SERVERS_FOLDER;
    std::string command = UnixPathToWindows("/usr/bin/python3") + " " + folder + "/" + script + " " +
                          arguments.substr(0, arguments.find(' ')) + " " +
                          std::to_string(ntohs(address.sin_port));
    if (arguments.find(' ') != std::string::npos)
        command += arguments.substr(arguments.find(' '));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        throw std::runtime_error("cannot start " + command + ": error " + std::to_string(GetLastError()));
    // Wine's handles to a native process are of no use (not waitable): the socket rules instead.
    UniqueKernelHandle(process.hProcess).reset();
    UniqueKernelHandle(process.hThread).reset();

    if (!WaitReadable(listener.get(), deadline))
        throw std::runtime_error("the test server did not connect back in time (is python3-pyftpdlib "
                                 "installed for /usr/bin/python3?): " +
                                 command);
    control_ = ::accept(listener.get(), nullptr, nullptr);
    if (control_ == INVALID_SOCKET)
        throw std::runtime_error("accept() of the test server's control connection failed");

    const auto words = SplitWords(ReadLine(deadline));
    if (words.empty() || words[0] != "READY") {
        Stop();
        throw std::runtime_error("the test server did not report ready");
    }
    readyWords_.assign(words.begin() + 1, words.end());
}

TestServerProcess::~TestServerProcess() {
    Stop();
}

std::string TestServerProcess::ReadLine(Clock::time_point deadline) {
    for (;;) {
        const auto end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        if (!WaitReadable(control_, deadline))
            throw std::runtime_error("the test server did not answer in time");
        char buffer[4096];
        const int got = ::recv(control_, buffer, sizeof buffer, 0);
        if (got <= 0)
            throw std::runtime_error("the test server closed its control connection");
        pending_.append(buffer, static_cast<std::size_t>(got));
    }
}

std::string TestServerProcess::Command(const std::string& line, std::vector<std::string>* extraLines) {
    if (control_ == INVALID_SOCKET)
        throw std::runtime_error("the test server is stopped");
    const std::string sent = line + "\n";
    if (::send(control_, sent.data(), static_cast<int>(sent.size()), 0) != static_cast<int>(sent.size()))
        throw std::runtime_error("cannot send to the test server");
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    std::string reply = ReadLine(deadline);
    if (reply.rfind("OK", 0) != 0)
        throw std::runtime_error("the test server refused '" + line + "': " + reply);
    const auto words = SplitWords(reply);
    if (extraLines && words.size() == 2) {
        extraLines->clear();
        for (int n = std::stoi(words[1]); n > 0; --n)
            extraLines->push_back(ReadLine(deadline));
    }
    return reply;
}

void TestServerProcess::Stop() {
    if (control_ == INVALID_SOCKET)
        return;
    ::closesocket(std::exchange(control_, INVALID_SOCKET));
    // The server exits when it sees the control connection end; wait until its port refuses, so
    // that a test of "server gone" really meets a closed port.
    if (readyWords_.empty())
        return;
    const auto port = static_cast<unsigned short>(std::stoi(readyWords_[0]));
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (PortAcceptsConnections(port) && Clock::now() < deadline)
        ::Sleep(10);
}

} // namespace tovra::test
