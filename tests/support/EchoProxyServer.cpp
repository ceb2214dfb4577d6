#include "tests/support/EchoProxyServer.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace tovra::test {

namespace {

bool ReadVariable(const char* name, std::string& value) {
    char buffer[1024];
    const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer)
        return false;
    value.assign(buffer, length);
    return true;
}

// Both the Win32 block and the C runtime's copy: Wine's WinINet reads the variable through the
// C runtime, which keeps its own copy of the environment.
void WriteVariable(const char* name, const std::string* value) {
    SetEnvironmentVariableA(name, value ? value->c_str() : nullptr);
    const std::string assignment = std::string(name) + "=" + (value ? *value : std::string());
    _putenv(assignment.c_str());
}

} // namespace

EchoProxyServer::EchoProxyServer(bool tls, bool tls13Only)
    : process_(std::make_unique<TestServerProcess>(!tls        ? "echo"
                                                   : tls13Only ? "https13"
                                                               : "https")) {
    const auto& words = process_->ReadyWords();
    if (words.size() != (tls ? 2u : 1u))
        throw std::runtime_error("unexpected READY line from the echo test server");
    port_ = static_cast<unsigned short>(std::stoi(words[0]));
    if (tls)
        authority_ = FromHex(words[1]);
}

EchoProxyServer::~EchoProxyServer() {
    Stop();
}

void EchoProxyServer::UseAsProxyForThisProcess() {
    if (!environmentSet_) {
        hadHttpProxy_ = ReadVariable("http_proxy", savedHttpProxy_);
        hadNoProxy_ = ReadVariable("no_proxy", savedNoProxy_);
        environmentSet_ = true;
    }
    const std::string proxy = "127.0.0.1:" + std::to_string(port_);
    WriteVariable("http_proxy", &proxy);
    WriteVariable("no_proxy", nullptr);
}

void EchoProxyServer::SetNoProxy(const std::string& hosts) {
    WriteVariable("no_proxy", &hosts);
}

void EchoProxyServer::RestoreEnvironment() {
    if (!environmentSet_)
        return;
    WriteVariable("http_proxy", hadHttpProxy_ ? &savedHttpProxy_ : nullptr);
    WriteVariable("no_proxy", hadNoProxy_ ? &savedNoProxy_ : nullptr);
    environmentSet_ = false;
}

void EchoProxyServer::Answer(const std::string& host, int status, const std::string& body) {
    process_->Command("SITE " + host + " ANSWER " + std::to_string(status) + " " + ToHex(body));
}

void EchoProxyServer::Hang(const std::string& host) {
    process_->Command("SITE " + host + " HANG");
}

void EchoProxyServer::HangAfterHeaders(const std::string& host, const std::string& body) {
    process_->Command("SITE " + host + " HANGBODY " + ToHex(body));
}

void EchoProxyServer::Drop(const std::string& host) {
    process_->Command("SITE " + host + " DROP");
}

void EchoProxyServer::Trickle(const std::string& host) {
    process_->Command("SITE " + host + " TRICKLE");
}

void EchoProxyServer::Redirect(const std::string& host, const std::string& location) {
    process_->Command("SITE " + host + " REDIRECT " + ToHex(location));
}

void EchoProxyServer::RequireSignIn(const std::string& user, const std::string& password) {
    process_->Command("SIGNIN " + ToHex(user + ":" + password));
}

void EchoProxyServer::Challenge(const std::vector<std::string>& challenges) {
    std::string command = "CHALLENGES";
    for (const std::string& challenge : challenges)
        command += " " + ToHex(challenge);
    process_->Command(command);
}

std::vector<EchoRequest> EchoProxyServer::Requests() {
    std::vector<std::string> lines;
    process_->Command("REQUESTS", &lines);
    std::vector<EchoRequest> requests;
    for (const auto& line : lines) {
        std::vector<std::string> fields;
        for (std::size_t start = 0; start <= line.size();) {
            const std::size_t end = std::min(line.find(' ', start), line.size());
            fields.push_back(FromHex(line.substr(start, end - start)));
            start = end + 1;
        }
        if (fields.size() != 4)
            throw std::runtime_error("malformed request record from the echo test server");
        requests.push_back({fields[0], fields[1], fields[2], fields[3]});
    }
    return requests;
}

void EchoProxyServer::Stop() {
    RestoreEnvironment();
    process_->Stop();
}

} // namespace tovra::test
