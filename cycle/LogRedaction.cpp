#include "cycle/LogRedaction.h"

#include <cctype>

namespace tovra {
namespace {

bool IsSpace(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Where a token of `text` ends that begins at `from`: at a blank, or at a quote that closes it.
std::size_t TokenEnd(std::string_view text, std::size_t from) {
    std::size_t end = from;
    while (end < text.size() && !IsSpace(text[end]) && text[end] != '\'' && text[end] != '"')
        ++end;
    return end;
}

void ReplaceEvery(std::string& text, std::string_view secret) {
    for (std::size_t at = text.find(secret); at != std::string::npos;
         at = text.find(secret, at + kHiddenSecret.size())) {
        text.replace(at, secret.size(), kHiddenSecret);
    }
}

// "PASS x", in any letter case, as a command of its own (at the start or after a blank or quote).
void HidePassCommand(std::string& text) {
    for (std::size_t at = 0; at + 5 <= text.size(); ++at) {
        if (at > 0 && !IsSpace(text[at - 1]) && text[at - 1] != '\'' && text[at - 1] != '"')
            continue;
        const bool pass = std::toupper(static_cast<unsigned char>(text[at])) == 'P' &&
                          std::toupper(static_cast<unsigned char>(text[at + 1])) == 'A' &&
                          std::toupper(static_cast<unsigned char>(text[at + 2])) == 'S' &&
                          std::toupper(static_cast<unsigned char>(text[at + 3])) == 'S' &&
                          text[at + 4] == ' ';
        if (!pass)
            continue;
        const std::size_t begin = at + 5;
        const std::size_t end = TokenEnd(text, begin);
        if (end > begin && text.compare(begin, end - begin, kHiddenSecret) != 0)
            text.replace(begin, end - begin, kHiddenSecret);
        at = begin;
    }
}

// In each token with an "@", the text between the user name's ":" and the last "@".
void HideUrlPasswords(std::string& text) {
    for (std::size_t begin = 0; begin < text.size();) {
        if (IsSpace(text[begin])) {
            ++begin;
            continue;
        }
        std::size_t end = TokenEnd(text, begin);
        if (end == begin) {
            ++begin;
            continue;
        }
        const std::string_view token(text.data() + begin, end - begin);
        const std::size_t at = token.rfind('@');
        const std::size_t scheme = token.find("://");
        const std::size_t user = scheme == std::string_view::npos || scheme > at ? 0 : scheme + 3;
        const std::size_t colon = at == std::string_view::npos ? at : token.find(':', user);
        if (at != std::string_view::npos && colon < at &&
            token.substr(colon + 1, at - colon - 1) != kHiddenSecret) {
            text.replace(begin + colon + 1, at - colon - 1, kHiddenSecret);
            end = TokenEnd(text, begin);
        }
        begin = end;
    }
}

} // namespace

std::string HideSecrets(std::string_view line, std::span<const std::string_view> secrets) {
    std::string text(line);
    for (const std::string_view secret : secrets) {
        if (!secret.empty())
            ReplaceEvery(text, secret);
    }
    HidePassCommand(text);
    HideUrlPasswords(text);
    return text;
}

} // namespace tovra
