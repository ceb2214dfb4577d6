#include "tests/support/DnsServiceFake.h"

#include <sstream>
#include <stdexcept>

namespace tovra::test {

DnsServiceFake::DnsServiceFake(const std::string& account, const std::string& secret)
    : process_(std::make_unique<TestServerProcess>("dns " + account + " " + secret)) {
    const auto& words = process_->ReadyWords();
    if (words.size() != 2)
        throw std::runtime_error("unexpected READY line from the DNS test services");
    port_ = static_cast<unsigned short>(std::stoi(words[0]));
    authority_ = FromHex(words[1]);
}

void DnsServiceFake::Answer(const std::string& service, int status, const std::string& body,
                            const std::string& retryAfter) {
    process_->Command("ANSWER " + service + " " + std::to_string(status) + " " + ToHex(body) + " " +
                      (retryAfter.empty() ? "-" : retryAfter));
}

void DnsServiceFake::Zone(const std::string& name, const std::string& id) {
    process_->Command("ZONE " + name + " " + id);
}

void DnsServiceFake::Record(const std::string& zoneId, const std::string& type, const std::string& name,
                            const std::string& id, const std::string& content) {
    process_->Command("RECORD " + zoneId + " " + type + " " + name + " " + id + " " + content);
}

std::string DnsServiceFake::Content(const std::string& recordId) {
    const std::string reply = process_->Command("CONTENT " + recordId);
    return FromHex(reply.substr(reply.find(' ') + 1));
}

std::vector<DnsServiceRequest> DnsServiceFake::Requests() {
    std::vector<std::string> lines;
    process_->Command("REQUESTS", &lines);
    std::vector<DnsServiceRequest> requests;
    for (const std::string& line : lines) {
        std::istringstream words(line);
        std::string method, path, agent;
        words >> method >> path >> agent;
        requests.push_back({method, FromHex(path), FromHex(agent)});
    }
    return requests;
}

} // namespace tovra::test
