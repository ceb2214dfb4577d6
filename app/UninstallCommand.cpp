#include "app/UninstallCommand.h"

namespace tovra {

bool IsUninstallCommand(std::string_view commandLine) noexcept {
    constexpr std::string_view word = "uninstall";
    if (commandLine.size() < word.size())
        return false;
    const std::string_view tail = commandLine.substr(commandLine.size() - word.size());
    for (std::size_t i = 0; i < word.size(); ++i) {
        // ASCII folding only, as the C runtime's comparison does in the classic locale: a byte of
        // another code page never matches a letter of the word.
        char c = tail[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != word[i])
            return false;
    }
    return true;
}

} // namespace tovra
