#pragma once
// An update service played by a script: each request is recorded and answered with the next
// reply in line (a 404 once they run out), so a test states exactly what the service says.

#include "names/HttpTransport.h"

#include <deque>
#include <string>
#include <vector>

namespace tovra::test {

class ScriptedTransport : public HttpTransport {
public:
    ScriptedTransport& Then(unsigned long status, std::string body, std::string retryAfter = {}) {
        replies_.push_back({HttpReply::Failure::None, status, std::move(body), std::move(retryAfter), {}});
        return *this;
    }
    ScriptedTransport& ThenFailure(HttpReply::Failure failure, std::string detail = {}) {
        replies_.push_back({failure, 0, {}, {}, std::move(detail)});
        return *this;
    }

    HttpReply Send(const HttpRequest& request) override {
        requests.push_back(request);
        if (replies_.empty())
            return HttpReply{HttpReply::Failure::None, 404, "", "", ""};
        HttpReply reply = std::move(replies_.front());
        replies_.pop_front();
        return reply;
    }

    std::string Header(std::size_t index, const std::string& name) const {
        for (const auto& [key, value] : requests.at(index).headers) {
            if (key == name)
                return value;
        }
        return {};
    }

    std::vector<HttpRequest> requests;

private:
    std::deque<HttpReply> replies_;
};

} // namespace tovra::test
