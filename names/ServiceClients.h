#pragma once
// The three update services' exchanges, each as its provider documents it: one call updates one
// name to one address pair and says what came of it. Platform-free; the requests go through an
// HttpTransport. The clients neither decide whether to update (NameUpdater does) nor log: the
// outcome carries what the line needs. No secret is ever part of an outcome.

#include "names/DnsName.h"
#include "names/HttpTransport.h"

#include <string>
#include <string_view>

namespace tovra {

// The addresses a service is asked to point a name at.
struct NameAddresses {
    std::string ipv4;
    std::string ipv6; // empty when the PC has none
};

struct UpdateOutcome {
    enum class Result {
        Updated, // the service now points the name at the addresses
        Current, // it already did
        Stopped, // refused: no more updates until the name's settings change
        Wait,    // not done: try again later, after waitSeconds at least
        Closing, // the program is closing: nothing is recorded
    };
    Result result = Result::Wait;
    std::string reason;   // why it was refused or not done, in the user's words
    std::string stopCode; // what is stored as the name's Stopped value
    unsigned long waitSeconds = 0;
    bool sentIpv6 = false; // whether the IPv6 address was part of the update
};

// The User-Agent the dyndns2 protocol asks for: maker, program, version ("Brannik Tovra/2.0.7").
std::string UpdateAgent();

// How long a dyndns2 service in trouble, or out of reach, is left alone (No-IP asks 30 minutes).
inline constexpr unsigned long kTroubleWaitSeconds = 30 * 60;

UpdateOutcome UpdateDyndns2(const DnsName& name, const NameAddresses& addresses, HttpTransport& transport);
UpdateOutcome UpdateDuckDns(const DnsName& name, const NameAddresses& addresses, HttpTransport& transport);
UpdateOutcome UpdateCloudflare(const DnsName& name, const NameAddresses& addresses, HttpTransport& transport);
UpdateOutcome UpdateName(const DnsName& name, const NameAddresses& addresses, HttpTransport& transport);

// For query parameters: every byte but letters, digits and -._~ as %XX.
std::string UrlEncoded(std::string_view text);
std::string Base64(std::string_view bytes);

} // namespace tovra
