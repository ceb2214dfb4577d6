#include "names/ServiceReplies.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

namespace tovra {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Just enough JSON for the API's answers: objects, arrays, strings, and the rest skipped. Depth is
// bounded, so a reply of nested brackets costs no stack beyond it.
class JsonReader {
public:
    struct Value {
        enum class Kind { Other, True, String, Array, Object } kind = Kind::Other;
        std::string text;
        std::vector<std::unique_ptr<Value>> items;                           // array
        std::vector<std::pair<std::string, std::unique_ptr<Value>>> members; // object

        const Value* Member(std::string_view name) const {
            for (const auto& [key, value] : members) {
                if (key == name)
                    return value.get();
            }
            return nullptr;
        }
    };

    explicit JsonReader(std::string_view text) : text_(text) {}

    std::unique_ptr<Value> Document() {
        std::unique_ptr<Value> value = ReadValue(0);
        SkipBlanks();
        if (value == nullptr || at_ != text_.size())
            return nullptr;
        return value;
    }

private:
    static constexpr int kMaxDepth = 32;

    void SkipBlanks() {
        while (at_ < text_.size() && IsBlank(text_[at_]))
            ++at_;
    }
    bool Take(char c) {
        SkipBlanks();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    std::unique_ptr<Value> ReadValue(int depth) {
        if (depth > kMaxDepth)
            return nullptr;
        SkipBlanks();
        if (at_ >= text_.size())
            return nullptr;
        auto value = std::make_unique<Value>();
        const char c = text_[at_];
        if (c == '{') {
            ++at_;
            value->kind = Value::Kind::Object;
            if (Take('}'))
                return value;
            do {
                SkipBlanks();
                std::optional<std::string> key = ReadString();
                if (!key || !Take(':'))
                    return nullptr;
                std::unique_ptr<Value> member = ReadValue(depth + 1);
                if (member == nullptr)
                    return nullptr;
                value->members.emplace_back(std::move(*key), std::move(member));
            } while (Take(','));
            return Take('}') ? std::move(value) : nullptr;
        }
        if (c == '[') {
            ++at_;
            value->kind = Value::Kind::Array;
            if (Take(']'))
                return value;
            do {
                std::unique_ptr<Value> item = ReadValue(depth + 1);
                if (item == nullptr)
                    return nullptr;
                value->items.push_back(std::move(item));
            } while (Take(','));
            return Take(']') ? std::move(value) : nullptr;
        }
        if (c == '"') {
            std::optional<std::string> text = ReadString();
            if (!text)
                return nullptr;
            value->kind = Value::Kind::String;
            value->text = std::move(*text);
            return value;
        }
        // A number, true, false or null: only whether it is true matters here.
        const std::size_t start = at_;
        while (at_ < text_.size() && !IsBlank(text_[at_]) && text_[at_] != ',' && text_[at_] != '}' &&
               text_[at_] != ']')
            ++at_;
        const std::string_view word = text_.substr(start, at_ - start);
        if (word.empty())
            return nullptr;
        value->kind = word == "true" ? Value::Kind::True : Value::Kind::Other;
        return value;
    }

    std::optional<std::string> ReadString() {
        if (at_ >= text_.size() || text_[at_] != '"')
            return std::nullopt;
        ++at_;
        std::string text;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"')
                return text;
            if (c != '\\') {
                text += c;
                continue;
            }
            if (at_ >= text_.size())
                return std::nullopt;
            const char escaped = text_[at_++];
            switch (escaped) {
            case 'n':
            case 'r':
            case 't':
            case 'b':
            case 'f':
                text += ' ';
                break;
            case 'u': {
                std::uint32_t code = 0;
                for (int i = 0; i < 4; ++i) {
                    if (at_ >= text_.size())
                        return std::nullopt;
                    const char h = text_[at_++];
                    const int digit = h >= '0' && h <= '9'   ? h - '0'
                                      : h >= 'a' && h <= 'f' ? h - 'a' + 10
                                      : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                                             : -1;
                    if (digit < 0)
                        return std::nullopt;
                    code = code * 16 + static_cast<std::uint32_t>(digit);
                }
                // Ids and messages are ASCII; anything else only needs to stay harmless in a line.
                text += code < 0x80 && code >= 0x20 ? static_cast<char>(code) : '?';
                break;
            }
            default:
                text += escaped;
                break;
            }
        }
        return std::nullopt;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

} // namespace

Dyndns2Answer ParseDyndns2Reply(std::string_view body) {
    body = Trimmed(body);
    const std::size_t lineEnd = body.find_first_of("\r\n");
    std::string_view line = Trimmed(body.substr(0, lineEnd));
    const std::size_t space = line.find_first_of(" \t");
    Dyndns2Answer answer;
    answer.code = std::string(line.substr(0, space));
    if (space != std::string_view::npos) {
        const std::string_view rest = Trimmed(line.substr(space));
        answer.address = std::string(rest.substr(0, rest.find_first_of(" \t")));
    }
    return answer;
}

Dyndns2Verdict VerdictOf(std::string_view code) {
    if (code == "good" || code == "nochg")
        return Dyndns2Verdict::Accepted;
    for (std::string_view stop :
         {"badauth", "!donator", "notfqdn", "nohost", "numhost", "abuse", "badagent", "badsys"}) {
        if (code == stop)
            return Dyndns2Verdict::Stop;
    }
    if (code == "dnserr" || code == "911")
        return Dyndns2Verdict::Wait;
    return Dyndns2Verdict::Unknown;
}

std::string_view Dyndns2Meaning(std::string_view code) {
    struct Meaning {
        std::string_view code;
        std::string_view text;
    };
    static constexpr Meaning kMeanings[] = {
        {"badauth", "the account name or the password is wrong"},
        {"!donator", "the account does not include this feature"},
        {"notfqdn", "the host name is not a full domain name"},
        {"nohost", "the account has no such host name"},
        {"numhost", "too many host names in one update"},
        {"abuse", "the host name is blocked for abuse"},
        {"badagent", "the service does not accept this program"},
        {"badsys", "the service does not accept this kind of update"},
        {"dnserr", "the service's DNS is in trouble"},
        {"911", "the service is in trouble"},
    };
    for (const Meaning& meaning : kMeanings) {
        if (meaning.code == code)
            return meaning.text;
    }
    return {};
}

DuckDnsAnswer ParseDuckDnsReply(std::string_view body) {
    body = Trimmed(body);
    if (body == "OK")
        return DuckDnsAnswer::Ok;
    if (body == "KO")
        return DuckDnsAnswer::Ko;
    return DuckDnsAnswer::Other;
}

CloudflareReply ParseCloudflareReply(std::string_view body) {
    using Kind = JsonReader::Value::Kind;
    CloudflareReply reply;
    const std::unique_ptr<JsonReader::Value> document = JsonReader(body).Document();
    if (document == nullptr || document->kind != Kind::Object)
        return reply;
    reply.parsed = true;
    if (const auto* success = document->Member("success"))
        reply.success = success->kind == Kind::True;
    if (const auto* result = document->Member("result")) {
        auto addId = [&reply](const JsonReader::Value& item) {
            const auto* id = item.Member("id");
            if (id != nullptr && id->kind == Kind::String && !id->text.empty())
                reply.ids.push_back(id->text);
        };
        if (result->kind == Kind::Array) {
            for (const auto& item : result->items)
                addId(*item);
        } else if (result->kind == Kind::Object) {
            addId(*result);
        }
    }
    if (const auto* errors = document->Member("errors"); errors != nullptr && errors->kind == Kind::Array) {
        for (const auto& error : errors->items) {
            const auto* message = error->Member("message");
            if (message != nullptr && message->kind == Kind::String) {
                reply.error = message->text;
                break;
            }
        }
    }
    return reply;
}

unsigned long RetryAfterSeconds(std::string_view header) {
    header = Trimmed(header);
    if (header.empty() || header.size() > 9)
        return 0;
    unsigned long seconds = 0;
    for (char c : header) {
        if (c < '0' || c > '9')
            return 0;
        seconds = seconds * 10 + static_cast<unsigned long>(c - '0');
    }
    constexpr unsigned long kDay = 24 * 60 * 60;
    return seconds > kDay ? kDay : seconds;
}

} // namespace tovra
