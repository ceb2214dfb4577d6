#pragma once
// The list of names in the registry: one subkey per name under <product key>\DnsNames, named
// 0, 1, 2... in list order, so that an administrator can deploy names with a .reg file. Values:
// Service, HostName, Server, Account (REG_SZ), Secret (REG_BINARY: the password or token as
// UTF-16LE without terminator, protected for the current user with CryptProtectData), and, written
// by the updates, LastAddress, LastIPv6 and Stopped.
//
// Threads: the window saves the list while the publishing worker records its updates; one lock
// makes each of those whole, and an update is recorded only into a subkey that still holds the
// settings it was made with, so a Save in between is never overwritten by stale results.

#include "names/DnsName.h"

#include <optional>
#include <string>
#include <vector>

namespace tovra {

class DnsNameStore {
public:
    // productKeyPath: under HKEY_CURRENT_USER, "SOFTWARE\\Brannik\\Tovra" for the program.
    explicit DnsNameStore(std::string productKeyPath);

    struct Loaded {
        std::vector<DnsName> names;
        std::vector<std::string> subkeys; // each name's subkey, for Record
        std::vector<std::string> lines;   // one for each subkey left out as damaged
    };
    // The stored list in order. A subkey that cannot be read as a name (no or unknown Service, no
    // HostName, a value of the wrong type, a Secret this user cannot unprotect) is left out with
    // a line; the list goes on without it.
    Loaded Load() const;

    // Replaces the stored list. A name whose settings are those of a stored one keeps what the
    // updates recorded for it; any other starts afresh, so that it is updated at the next check.
    bool Save(const std::vector<DnsName>& names) const;

    // Writes what an update recorded (LastAddress, LastIPv6, Stopped) into `subkey`, if that still
    // holds the same settings as `name`.
    bool Record(const std::string& subkey, const DnsName& name) const;

    // The secret's stored form and back; exposed for the tests, which check that the stored
    // bytes are not the text.
    static std::optional<std::string> Protect(const std::string& secret);
    static std::optional<std::string> Unprotect(const std::string& stored);

    static constexpr char kSubkeyName[] = "DnsNames";

private:
    std::string listPath_;
};

} // namespace tovra
