#include "names/NameUpdater.h"

#include "detection/PublicAddress.h"

#include <algorithm>
#include <utility>

namespace tovra {
namespace {

// The settings, so that a changed name starts without the wait of the one it was.
std::string WaitKey(const DnsName& name) {
    return std::string(ServiceValue(name.service)) + '\n' + name.server + '\n' + name.hostName + '\n' +
           name.account + '\n' + name.secret;
}

// What the record lacks before any service can be asked; empty when it is complete.
std::string MissingSetting(const DnsName& name) {
    if (name.hostName.empty())
        return "it has no host name";
    if (name.secret.empty())
        return name.service == DnsService::Dyndns2 ? "it has no password" : "it has no token";
    if (name.service == DnsService::Dyndns2 && name.server.empty())
        return "it has no update server";
    if (name.service == DnsService::Dyndns2 && name.account.empty())
        return "it has no account name";
    return {};
}

bool LooksLikeIpv6(const std::string& address) {
    return address.find(':') != std::string::npos && address.size() <= 45 &&
           std::all_of(address.begin(), address.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':';
           });
}

// A server's words may quote what it was sent; a secret must not reach the log that way.
std::string WithoutSecret(std::string text, const std::string& secret) {
    if (secret.empty())
        return text;
    for (std::size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 8))
        text.replace(at, secret.size(), "********");
    return text;
}

} // namespace

NameUpdater::NameUpdater(TimeText timeText) : timeText_(std::move(timeText)) {}

NameUpdater::Report NameUpdater::Update(DnsName& name, const NameAddresses& detected,
                                        HttpTransport& transport, std::int64_t nowSeconds) {
    const std::string& host = name.hostName.empty() ? std::string("A name") : name.hostName;
    if (const std::string missing = MissingSetting(name); !missing.empty())
        return {host + " was not updated: " + missing + ".", true, false};
    if (!name.stopped.empty())
        return {host + " is not updated: its service refused it (\"" + name.stopped +
                    "\"); change its settings on the Names tab to try again.",
                true, false};
    // Only an address visitors can reach belongs in DNS, whatever the page shows.
    if (!IsPublicAddress(detected.ipv4))
        return {host + " was not updated: " + detected.ipv4 +
                    " is no address that visitors from the internet can reach.",
                false, false};
    NameAddresses addresses = detected;
    if (!LooksLikeIpv6(addresses.ipv6))
        addresses.ipv6.clear();

    const std::string key = WaitKey(name);
    if (const auto wait = retryAt_.find(key); wait != retryAt_.end()) {
        if (nowSeconds < wait->second)
            return {host + " waits before its service is asked again; will retry at " +
                        timeText_(wait->second) + ".",
                    true, false};
        retryAt_.erase(wait);
    }
    // An IPv6 address that went away is not news to send: no service here removes one.
    const bool ipv6Changed = !addresses.ipv6.empty() && addresses.ipv6 != name.lastIpv6;
    if (addresses.ipv4 == name.lastAddress && !ipv6Changed)
        return {host + " is already current at " + name.lastAddress + ".", false, false};
    if (addresses.ipv4 == name.lastAddress && name.service == DnsService::Dyndns2) {
        // Only the IPv6 address changed: worth a request only where it can be sent.
        const Dyndns2Preset* preset = FindDyndns2Preset(name.server);
        if (preset == nullptr || preset->ipv6Parameter.empty())
            return {host + " is already current at " + name.lastAddress + ".", false, false};
    }

    const UpdateOutcome outcome = UpdateName(name, addresses, transport);
    const std::string reason = WithoutSecret(outcome.reason, name.secret);
    std::string sent = addresses.ipv4;
    if (outcome.sentIpv6)
        sent += " and " + addresses.ipv6;
    switch (outcome.result) {
    case UpdateOutcome::Result::Updated:
    case UpdateOutcome::Result::Current:
        name.lastAddress = addresses.ipv4;
        if (outcome.sentIpv6)
            name.lastIpv6 = addresses.ipv6;
        return {outcome.result == UpdateOutcome::Result::Updated
                    ? host + " updated to " + sent + "."
                    : host + " was already current at " + sent + ".",
                false, true};
    case UpdateOutcome::Result::Stopped:
        name.stopped = outcome.stopCode;
        return {host + " was refused: " + reason + ". No more updates until its settings change.", true,
                true};
    case UpdateOutcome::Result::Wait: {
        std::string line = host + " was not updated: " + reason + "; will retry at ";
        if (outcome.waitSeconds == 0) {
            line += "the next check.";
        } else {
            retryAt_[key] = nowSeconds + static_cast<std::int64_t>(outcome.waitSeconds);
            line += timeText_(nowSeconds + static_cast<std::int64_t>(outcome.waitSeconds)) + ".";
        }
        return {std::move(line), true, false};
    }
    case UpdateOutcome::Result::Closing:
        break;
    }
    return {};
}

} // namespace tovra
