#include "tests/support/RegistrySandbox.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

using tovra::UniqueInternetHandle;
using tovra::UniqueRegKey;
using tovra::test::RegistrySandbox;

namespace {

// A value name no other test program writes, so that checks of the real hive cannot be fooled
// by programs running at the same time.
std::string MarkerName() {
    return "SandboxMarker" + std::to_string(::GetCurrentProcessId());
}

void WriteText(HKEY parent, const char* subkey, const std::string& name, const std::string& text) {
    UniqueRegKey key;
    ASSERT_EQ(::RegCreateKeyExA(parent, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                key.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>(text.size() + 1)),
              ERROR_SUCCESS);
}

std::optional<std::string> ReadText(HKEY parent, const char* subkey, const std::string& name) {
    char buffer[256] = {};
    DWORD size = sizeof buffer;
    if (::RegGetValueA(parent, subkey, name.c_str(), RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(buffer);
}

bool KeyExists(HKEY parent, const std::string& subkey) {
    UniqueRegKey key;
    return ::RegOpenKeyExA(parent, subkey.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

constexpr const char* kSettingsKey = "Software\\Brannik\\Tovra";

} // namespace

TEST(RegistrySandboxTest, WritesStayOutOfTheRealHiveAndGoWithTheSandbox) {
    std::string realPath;
    {
        RegistrySandbox sandbox;
        realPath = sandbox.RealPath();
        WriteText(HKEY_CURRENT_USER, kSettingsKey, MarkerName(), "10.0.0.1");
        EXPECT_EQ(ReadText(sandbox.Root(), kSettingsKey, MarkerName()), "10.0.0.1");
    }
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kSettingsKey, MarkerName()), std::nullopt);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, realPath));
}

TEST(RegistrySandboxTest, EverySandboxStartsEmpty) {
    {
        RegistrySandbox first;
        WriteText(HKEY_CURRENT_USER, kSettingsKey, MarkerName(), "first");
    }
    RegistrySandbox second;
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software"));
    EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kSettingsKey, MarkerName()), std::nullopt);
}

TEST(RegistrySandboxTest, SecondSandboxIsRefusedAndTheFirstStaysInForce) {
    RegistrySandbox first;
    EXPECT_THROW(RegistrySandbox second, std::logic_error);
    WriteText(HKEY_CURRENT_USER, kSettingsKey, MarkerName(), "still first");
    EXPECT_EQ(ReadText(first.Root(), kSettingsKey, MarkerName()), "still first");
}

namespace {

// Accepts one HTTP request on a free loopback port, keeps its request line and answers "ok".
// Gives up by itself after a few seconds, so a client that never comes cannot hang the test.
class OneShotHttpServer {
public:
    OneShotHttpServer() {
        WSADATA data;
        if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
            throw std::runtime_error("WSAStartup failed");
        listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        if (listener_ == INVALID_SOCKET ||
            ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 1) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot listen on loopback");
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~OneShotHttpServer() {
        thread_.join();
        ::closesocket(listener_);
        ::WSACleanup();
    }
    OneShotHttpServer(const OneShotHttpServer&) = delete;
    OneShotHttpServer& operator=(const OneShotHttpServer&) = delete;

    unsigned short Port() const { return port_; }
    // Valid once the client has read the answer (the server wrote it before closing).
    const std::string& RequestLine() const { return requestLine_; }

private:
    void Serve() {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener_, &readable);
        timeval limit{10, 0};
        if (::select(0, &readable, nullptr, nullptr, &limit) != 1)
            return;
        SOCKET client = ::accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET)
            return;
        DWORD receiveLimitMs = 10000;
        ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&receiveLimitMs),
                     sizeof receiveLimitMs);
        std::string received;
        char chunk[512];
        while (received.find("\r\n\r\n") == std::string::npos) {
            int n = ::recv(client, chunk, sizeof chunk, 0);
            if (n <= 0)
                break;
            received.append(chunk, static_cast<size_t>(n));
        }
        requestLine_ = received.substr(0, received.find("\r\n"));
        const char answer[] = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
        ::send(client, answer, sizeof answer - 1, 0);
        ::shutdown(client, SD_SEND);
        ::closesocket(client);
    }

    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::string requestLine_;
    std::thread thread_;
};

std::string Get(const char* host, const char* path) {
    UniqueInternetHandle session(
        ::InternetOpenA("RegistrySandboxTest", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    UniqueInternetHandle connection(
        ::InternetConnectA(session.get(), host, 80, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    UniqueInternetHandle request(::HttpOpenRequestA(connection.get(), "GET", path, nullptr, nullptr, nullptr,
                                                    INTERNET_FLAG_RELOAD, 0));
    if (!request)
        return "(no request handle)";
    // Wine honours the receive time-out on the request handle: a proxy that never answers cannot
    // hold the test past its CTest time-out.
    DWORD limitMs = 10000;
    ::InternetSetOptionA(request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &limitMs, sizeof limitMs);
    if (!::HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0))
        return "(send failed: " + std::to_string(::GetLastError()) + ")";
    char body[64] = {};
    DWORD read = 0;
    ::InternetReadFile(request.get(), body, sizeof body - 1, &read);
    return std::string(body, read);
}

} // namespace

// The sandbox is worth its name only if the system's own DLLs see it too: WinINet takes its
// proxy from HKEY_CURRENT_USER, and the tests of the web lookup depend on that being theirs.
TEST(RegistrySandboxTest, WinInetTakesItsProxySettingsFromTheSandbox) {
    ::SetEnvironmentVariableA("http_proxy", nullptr);
    OneShotHttpServer proxy;
    RegistrySandbox sandbox;
    const char* internetSettings = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    WriteText(HKEY_CURRENT_USER, internetSettings, "ProxyServer",
              "127.0.0.1:" + std::to_string(proxy.Port()));
    {
        UniqueRegKey key;
        ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, internetSettings, 0, KEY_SET_VALUE, key.put()),
                  ERROR_SUCCESS);
        DWORD enable = 1;
        ASSERT_EQ(::RegSetValueExA(key.get(), "ProxyEnable", 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&enable), sizeof enable),
                  ERROR_SUCCESS);
    }

    EXPECT_EQ(Get("sandbox-check.invalid", "/where"), "ok");
    EXPECT_EQ(proxy.RequestLine(), "GET http://sandbox-check.invalid:80/where HTTP/1.1");
}
