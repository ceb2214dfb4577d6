#include "names/NameForm.h"

#include <algorithm>
#include <cctype>

namespace tovra {
namespace {

// A host name as DNS spells it: letters, digits, hyphens and dots, no blank and no scheme.
bool IsHostName(const std::string& text) {
    return !text.empty() && text.size() <= 253 && text.front() != '.' && text.back() != '.' &&
           std::all_of(text.begin(), text.end(), [](char c) {
               return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
           });
}

// host or host:port, as the registry keeps it.
bool IsServer(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos)
        return IsHostName(text);
    const std::string port = text.substr(colon + 1);
    return IsHostName(text.substr(0, colon)) && !port.empty() && port.size() <= 5 &&
           std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
           std::stoul(port) >= 1 && std::stoul(port) <= 65535;
}

std::string Trimmed(std::string text) {
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    text.erase(text.begin(), std::find_if_not(text.begin(), text.end(), blank));
    text.erase(std::find_if_not(text.rbegin(), text.rend(), blank).base(), text.end());
    return text;
}

} // namespace

std::vector<NameChoice> NameChoices() {
    std::vector<NameChoice> choices;
    for (const Dyndns2Preset& preset : Dyndns2Presets())
        choices.push_back(
            {std::string(preset.provider) + " (dyndns2)", DnsService::Dyndns2, std::string(preset.server)});
    choices.push_back({"Other dyndns2 server", DnsService::Dyndns2, {}});
    choices.push_back({"DuckDNS", DnsService::DuckDns, {}});
    choices.push_back({"Cloudflare", DnsService::Cloudflare, {}});
    return choices;
}

std::size_t ChoiceOf(const DnsName& name) {
    const std::vector<NameChoice> choices = NameChoices();
    for (std::size_t i = 0; i < choices.size(); ++i) {
        const NameChoice& choice = choices[i];
        if (choice.service != name.service)
            continue;
        if (name.service != DnsService::Dyndns2 || choice.presetServer.empty() ||
            FindDyndns2Preset(name.server) == FindDyndns2Preset(choice.presetServer))
            return i;
    }
    return 0;
}

std::optional<DnsName> NameFromForm(const NameFormInput& input, std::string& hint) {
    const std::vector<NameChoice> choices = NameChoices();
    if (input.choice >= choices.size()) {
        hint = "Choose the service that holds the name.";
        return std::nullopt;
    }
    const NameChoice& choice = choices[input.choice];
    DnsName name;
    name.service = choice.service;
    name.server = choice.presetServer.empty() ? Trimmed(input.server) : choice.presetServer;
    name.hostName = Trimmed(input.hostName);
    name.account = choice.service == DnsService::Dyndns2 ? Trimmed(input.account) : std::string();
    // A secret is taken as typed: blanks may well be part of a password.
    name.secret = input.typedSecret.empty() ? input.storedSecret : input.typedSecret;

    if (name.service == DnsService::Dyndns2 && name.server.empty())
        hint = "Enter the update server of your provider.";
    else if (!name.server.empty() && !IsServer(name.server))
        hint = "The server is a host name, with :port if it needs one.";
    else if (name.hostName.empty())
        hint = "Enter the host name to keep current.";
    else if (!IsHostName(name.hostName))
        hint = "The host name may hold letters, digits, hyphens and dots only.";
    else if (name.service == DnsService::Dyndns2 && name.account.empty())
        hint = "Enter the user name of your account.";
    else if (name.secret.empty())
        hint = name.service == DnsService::Dyndns2 ? "Enter the password." : "Enter the token.";
    else
        hint.clear();
    if (!hint.empty())
        return std::nullopt;
    return name;
}

std::string NameListText(const DnsName& name) {
    std::string text = name.hostName + "  (";
    switch (name.service) {
    case DnsService::DuckDns:
        text += "DuckDNS";
        break;
    case DnsService::Cloudflare:
        text += "Cloudflare";
        break;
    case DnsService::Dyndns2:
        text += "dyndns2 at " + name.server;
        break;
    }
    text += ")";
    if (!name.stopped.empty())
        text += ": stopped, \"" + name.stopped + "\"";
    return text;
}

} // namespace tovra
