#pragma once
// What the Add/Edit Name dialog asks, and the rule that makes a sound name of it. Platform-free,
// so the rule is tested on the host; the dialog only shows it.
//
// The service list: each dyndns2 preset ("No-IP (dyndns2)"), then "Other dyndns2 server", then
// DuckDNS and Cloudflare. A preset fills the server; "other" asks for it; DuckDNS and Cloudflare
// take a server only to replace their own.

#include "names/DnsName.h"

#include <optional>
#include <string>
#include <vector>

namespace tovra {

struct NameChoice {
    std::string label;
    DnsService service;
    std::string presetServer; // empty: the server field is the user's
};
std::vector<NameChoice> NameChoices();
// The choice that shows `name`: its preset when its server is one.
std::size_t ChoiceOf(const DnsName& name);

struct NameFormInput {
    std::size_t choice = 0;
    std::string server;
    std::string hostName;
    std::string account;
    std::string typedSecret;  // what the secret field holds: empty keeps the stored one
    std::string storedSecret; // the name's secret before the edit, never shown
};

// The name the form describes, or nothing with `hint` saying what is missing or wrong.
std::optional<DnsName> NameFromForm(const NameFormInput& input, std::string& hint);

// The list's text for a name: host, service and, when stopped, the answer that stopped it.
std::string NameListText(const DnsName& name);

} // namespace tovra
